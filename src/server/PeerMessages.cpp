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

QHash<QString, QJsonObject> PeerMessages::fetch(const QList<CachedMessage>& messages) const
{
    QHash<QString, QStringList> idsByHolder;
    for (const CachedMessage& message : messages)
        if (!message.holder.isEmpty())
            idsByHolder[message.holder].append(message.id);
    QHash<QString, QJsonObject> records;
    for (auto holder = idsByHolder.cbegin(); holder != idsByHolder.cend(); ++holder) {
        const auto address = m_addressOf(holder.key());
        if (!address)
            continue;
        const auto reply =
            postForm(QUrl(*address + QString::fromStdString(path)),
                     {{"key", m_secret}, {"ids", holder->join(QLatin1Char(',')).toUtf8()}}, {}, askWithin);
        if (!reply || reply->status != 200)
            continue;
        const QJsonArray found = QJsonDocument::fromJson(reply->body).object().value("messages").toArray();
        for (const QJsonValue& record : found)
            records.insert(record.toObject().value("id").toString(), record.toObject());
    }
    return records;
}

std::optional<HttpReply> PeerMessages::serve(const HttpRequest& request) const
{
    const QUrlQuery form(QString::fromUtf8(request.body));
    const QByteArray key = form.queryItemValue("key", QUrl::FullyDecoded).toUtf8();
    if (key.size() != m_secret.size() ||
        CRYPTO_memcmp(key.constData(), m_secret.constData(), size_t(key.size())) != 0)
        return std::nullopt;
    QJsonArray records;
    for (const QString& id :
         form.queryItemValue("ids", QUrl::FullyDecoded).split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (const auto message = m_cache.find(id))
            records.append(message->json);
    return HttpReply{200,
                     "application/json",
                     {},
                     QJsonDocument(QJsonObject{{"messages", records}}).toJson(QJsonDocument::Compact)};
}

} // namespace tessary::server
