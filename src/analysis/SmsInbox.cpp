#include "analysis/SmsInbox.h"

#include <QDateTime>

#include <algorithm>

namespace tessary {

TimePoint smsTime(const SmsMessage& message)
{
    return double(message.dateMs) / 1000.0;
}

namespace {
QString smsKey(const SmsMessage& message)
{
    return QStringLiteral("sms:%1:%2:%3").arg(message.deviceId).arg(message.threadId).arg(message.uid);
}
} // namespace

Message smsAsMessage(const SmsMessage& message)
{
    Message out;
    out.id = smsKey(message);
    out.sender = message.address;
    out.text = message.body;
    // Whole seconds: the form the finder reads for mail too.
    out.receivedAt = QDateTime::fromMSecsSinceEpoch(message.dateMs, Qt::UTC).toString(Qt::ISODate);
    out.phone = message.deviceName;
    return out;
}

bool SmsInbox::add(const SmsMessage& message, TimePoint now)
{
    m_messages.removeIf([&](const auto& kept) { return smsTime(kept.value()) < now - m_keep; });
    m_seen.removeIf([&](const auto& seen) { return seen.value() < now - identityMemory; });
    if (message.direction != SmsMessage::Direction::received || smsTime(message) < now - m_keep)
        return false;
    const QString key = smsKey(message);
    const bool seen = m_seen.contains(key);
    m_seen.insert(key, now);
    if (seen)
        return false;
    m_messages.insert(key, message);
    return true;
}

QList<Message> SmsInbox::since(TimePoint since) const
{
    QList<SmsMessage> kept;
    for (const SmsMessage& message : m_messages)
        if (smsTime(message) > since - phoneClockLag)
            kept.append(message);
    std::sort(kept.begin(), kept.end(),
              [](const SmsMessage& a, const SmsMessage& b) { return a.dateMs < b.dateMs; });
    QList<Message> out;
    for (const SmsMessage& message : kept)
        out.append(smsAsMessage(message));
    return out;
}

} // namespace tessary
