#include "backend/ReplyRecords.h"

#include "backend/DecodeRecords.h"
#include "backend/RecordDecoding.h"

namespace tessary {

using namespace decoding;

BackendResult<QString> decodeInstall(const QJsonValue& reply)
{
    auto object = requireObject(reply, {});
    if (!object)
        return Unexpected{object.error()};
    return requireString(*object, {}, QStringLiteral("token"));
}

BackendResult<QList<Account>> decodeAccountsReply(const QJsonValue& reply)
{
    auto object = requireObject(reply, {});
    if (!object)
        return Unexpected{object.error()};
    auto array = requireArray(*object, {}, QStringLiteral("accounts"));
    if (!array)
        return Unexpected{array.error()};
    QList<Account> accounts;
    for (qsizetype i = 0; i < array->size(); ++i) {
        auto account = decodeAccount(array->at(i), QStringLiteral("accounts[%1]").arg(i));
        if (!account)
            return Unexpected{account.error()};
        accounts.append(std::move(account).value());
    }
    return accounts;
}

BackendResult<ConnectLink> decodeLink(const QJsonValue& reply)
{
    auto object = requireObject(reply, {});
    if (!object)
        return Unexpected{object.error()};
    auto url = requireString(*object, {}, QStringLiteral("url"));
    if (!url)
        return Unexpected{url.error()};
    // The link is handed to the desktop to open: only a web page may come of it, never a local
    // file or another scheme's handler (a .desktop file opened that way runs its program).
    const QUrl parsed(*url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() || (scheme != QLatin1String("https") && scheme != QLatin1String("http")) ||
        parsed.host().isEmpty())
        return Unexpected{decodingError(QStringLiteral("url"), QStringLiteral("is not a web address"))};
    auto accountId = requireString(*object, {}, QStringLiteral("accountId"));
    if (!accountId)
        return Unexpected{accountId.error()};
    return ConnectLink{parsed, *accountId};
}

BackendResult<Account> decodeAdded(const QJsonValue& reply)
{
    auto object = requireObject(reply, {});
    if (!object)
        return Unexpected{object.error()};
    const QJsonValue account = object->value(QStringLiteral("account"));
    if (account.isUndefined() || account.isNull())
        return Unexpected{decodingError(QStringLiteral("account"), QStringLiteral("is missing"))};
    return decodeAccount(account, QStringLiteral("account"));
}

BackendResult<QList<Message>> decodeMessagesReply(const QJsonValue& reply)
{
    auto object = requireObject(reply, {});
    if (!object)
        return Unexpected{object.error()};
    return decodeMessages(*object);
}

BackendResult<QSet<QString>> decodeIds(const QJsonValue& reply)
{
    auto object = requireObject(reply, {});
    if (!object)
        return Unexpected{object.error()};
    auto array = requireArray(*object, {}, QStringLiteral("ids"));
    if (!array)
        return Unexpected{array.error()};
    QSet<QString> ids;
    for (qsizetype i = 0; i < array->size(); ++i) {
        if (!array->at(i).isString())
            return Unexpected{
                decodingError(QStringLiteral("ids[%1]").arg(i), QStringLiteral("is not a string"))};
        ids.insert(array->at(i).toString());
    }
    return ids;
}

} // namespace tessary
