#include "platform/kdeconnect/NotificationMessage.h"

#include <QHash>

namespace tessary {

namespace {

// Android's thread ids are never negative: this one marks a notification.
constexpr qint64 notificationThread = -1;

} // namespace

bool isMessagesApp(const QString& appName)
{
    static const QStringList words{QStringLiteral("messag"),   QStringLiteral("mensag"),
                                   QStringLiteral("mensaj"),   QStringLiteral("nachricht"),
                                   QStringLiteral("сообщени"), QStringLiteral("sms"),
                                   QStringLiteral("mms"),      QStringLiteral("textra")};
    const QString folded = appName.toCaseFolded();
    return std::any_of(words.cbegin(), words.cend(),
                       [&](const QString& word) { return folded.contains(word); });
}

std::optional<SmsMessage> decodeNotification(const QVariantMap& properties, const QString& deviceId,
                                             qint64 arrivedMs)
{
    const auto text = [&](const char* name) { return properties.value(QLatin1String(name)).toString(); };
    if (!isMessagesApp(text("appName")) || properties.value(QStringLiteral("silent")).toBool())
        return std::nullopt;
    SmsMessage message;
    message.deviceId = deviceId;
    message.address = text("title");
    message.body = text("text");
    if (message.body.isEmpty())
        message.body = text("ticker");
    if (message.body.isEmpty())
        return std::nullopt;
    message.threadId = notificationThread;
    // The same notification of the same app with the same text, posted again, is the same message.
    // Seeded with zero, so a repeat in a later run keeps its identity.
    const QString identity =
        text("appName") + QLatin1Char('\n') + text("internalId") + QLatin1Char('\n') + message.body;
    message.uid = qint64(qHash(identity, 0) & 0x7fffffffffffffff);
    message.dateMs = arrivedMs;
    message.direction = SmsMessage::Direction::received;
    return message;
}

} // namespace tessary
