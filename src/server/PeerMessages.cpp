#include "server/PeerMessages.h"

#include "server/FormPost.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUrlQuery>

#include <openssl/crypto.h>

namespace tessary::server {

namespace {
// Within the client's own wait for /v1/messages, with room for the other holders.
constexpr auto askWithin = std::chrono::seconds(3);
} // namespace

PeerMessages::PeerMessages(MessageCache& cache, QByteArray secret, AddressOf addressOf)
    : m_cache(cache)
    , m_secret(secret.toHex())
    , m_addressOf(std::move(addressOf))
{
}

std::optional<QJsonObject> PeerMessages::ask(const QString& address, const QByteArray& field,
                                             const QByteArray& value) const
{
    const auto reply = postForm(QUrl(address + QString::fromStdString(path)),
                                {{"key", m_secret}, {field, value}}, {}, askWithin);
    if (!reply || reply->status != 200)
        return std::nullopt;
    return QJsonDocument::fromJson(reply->body).object();
}

QHash<QString, QJsonObject> PeerMessages::fetch(const QList<CachedMessage>& messages) const
{
    QHash<QString, QStringList> idsByHolder;
    for (const CachedMessage& message : messages)
        if (!message.holder.isEmpty())
            idsByHolder[message.holder].append(message.id);
    QHash<QString, QJsonObject> records;
    for (auto holder = idsByHolder.cbegin(); holder != idsByHolder.cend(); ++holder) {
        const auto address = m_addressOf(holder.key());
        const auto answer =
            address ? ask(*address, "ids", holder->join(QLatin1Char(',')).toUtf8()) : std::nullopt;
        for (const QJsonValue& record : answer.value_or(QJsonObject{}).value("messages").toArray())
            records.insert(record.toObject().value("id").toString(), record.toObject());
    }
    return records;
}

void PeerMessages::catchUp(const QHash<QString, QString>& instances) const
{
    for (auto instance = instances.cbegin(); instance != instances.cend(); ++instance) {
        const auto answer = ask(*instance, "taken", "1");
        for (const QJsonValue& value : answer.value_or(QJsonObject{}).value("taken").toArray()) {
            const QJsonObject taken = value.toObject();
            CachedMessage message;
            message.id = taken.value("id").toString();
            message.accountId = taken.value("account").toString();
            message.receivedAt = taken.value("at").toDouble();
            message.holder = instance.key();
            m_cache.addRemote(std::move(message));
        }
    }
}

std::optional<HttpReply> PeerMessages::serve(const HttpRequest& request) const
{
    const QUrlQuery form(QString::fromUtf8(request.body));
    const QByteArray key = form.queryItemValue("key", QUrl::FullyDecoded).toUtf8();
    if (key.size() != m_secret.size() ||
        CRYPTO_memcmp(key.constData(), m_secret.constData(), size_t(key.size())) != 0)
        return std::nullopt;
    QJsonObject answer;
    if (form.hasQueryItem("taken")) {
        QJsonArray taken;
        for (const CachedMessage& message : m_cache.taken())
            taken.append(
                QJsonObject{{"id", message.id}, {"account", message.accountId}, {"at", message.receivedAt}});
        answer.insert("taken", taken);
    } else {
        QJsonArray records;
        const QStringList ids =
            form.queryItemValue("ids", QUrl::FullyDecoded).split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString& id : ids)
            if (const auto message = m_cache.find(id))
                records.append(message->json);
        answer.insert("messages", records);
    }
    return HttpReply{200, "application/json", {}, QJsonDocument(answer).toJson(QJsonDocument::Compact)};
}

} // namespace tessary::server
