#include "backend/DecodeRecords.h"

#include "backend/RecordDecoding.h"

namespace tessary {

namespace {

using namespace decoding;

BackendResult<QList<MessageLink>> decodeLinks(const QJsonObject& message, const QString& where)
{
    const QJsonValue value = message.value(QStringLiteral("links"));
    if (value.isUndefined() || value.isNull())
        return QList<MessageLink>{};
    const QString field = fieldPath(where, QStringLiteral("links"));
    if (!value.isArray())
        return Unexpected{decodingError(field, QStringLiteral("is not an array"))};
    QList<MessageLink> links;
    const QJsonArray array = value.toArray();
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QString at = QStringLiteral("%1[%2]").arg(field).arg(i);
        auto object = requireObject(array.at(i), at);
        if (!object)
            return Unexpected{object.error()};
        auto url = requireString(*object, at, QStringLiteral("url"));
        if (!url)
            return Unexpected{url.error()};
        auto text = requireString(*object, at, QStringLiteral("text"));
        if (!text)
            return Unexpected{text.error()};
        links.append({*url, *text});
    }
    return links;
}

} // namespace

BackendResult<Message> decodeMessage(const QJsonValue& value, const QString& where)
{
    auto object = requireObject(value, where);
    if (!object)
        return Unexpected{object.error()};
    Message message;
    for (auto [key, field] : {std::pair{"id", &message.id}, std::pair{"subject", &message.subject},
                              std::pair{"sender", &message.sender}, std::pair{"text", &message.text}}) {
        auto text = requireString(*object, where, QLatin1String(key));
        if (!text)
            return Unexpected{text.error()};
        *field = *text;
    }
    auto receivedAt = optionalString(*object, where, QStringLiteral("receivedAt"));
    if (!receivedAt)
        return Unexpected{receivedAt.error()};
    message.receivedAt = *receivedAt;
    auto links = decodeLinks(*object, where);
    if (!links)
        return Unexpected{links.error()};
    message.links = *links;
    return message;
}

BackendResult<QList<Message>> decodeMessages(const QJsonObject& reply)
{
    auto array = requireArray(reply, {}, QStringLiteral("messages"));
    if (!array)
        return Unexpected{array.error()};
    QList<Message> messages;
    for (qsizetype i = 0; i < array->size(); ++i) {
        auto message = decodeMessage(array->at(i), QStringLiteral("messages[%1]").arg(i));
        if (!message)
            return Unexpected{message.error()};
        messages.append(std::move(message).value());
    }
    return messages;
}

BackendResult<Account> decodeAccount(const QJsonValue& value, const QString& where)
{
    auto object = requireObject(value, where);
    if (!object)
        return Unexpected{object.error()};
    Account account;
    for (auto [key, field] : {std::pair{"id", &account.id}, std::pair{"provider", &account.provider},
                              std::pair{"status", &account.status}}) {
        auto text = requireString(*object, where, QLatin1String(key));
        if (!text)
            return Unexpected{text.error()};
        *field = *text;
    }
    auto email = optionalString(*object, where, QStringLiteral("email"));
    if (!email)
        return Unexpected{email.error()};
    account.email = *email;
    auto error = optionalString(*object, where, QStringLiteral("error"));
    if (!error)
        return Unexpected{error.error()};
    account.error = *error;
    return account;
}

} // namespace tessary
