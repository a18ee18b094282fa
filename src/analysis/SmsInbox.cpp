#include "analysis/SmsInbox.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

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

TimePoint SmsInbox::cameAt(const Kept& kept)
{
    return std::min(smsTime(kept.message), kept.arrived);
}

bool SmsInbox::add(const SmsMessage& message, TimePoint now)
{
    m_messages.removeIf([&](const auto& kept) { return cameAt(kept.value()) < now - m_keep; });
    m_seen.removeIf([&](const auto& seen) { return seen.value() < now - identityMemory; });
    if (message.direction != SmsMessage::Direction::received || smsTime(message) < now - m_keep)
        return false;
    const QString key = smsKey(message);
    const bool added = m_keeping && !m_seen.contains(key);
    m_seen.insert(key, now);
    if (added)
        m_messages.insert(key, Kept{message, now});
    if (m_seen.size() > identityLimit)
        forgetOldestIdentity();
    return added;
}

void SmsInbox::setKeeping(bool keep)
{
    m_keeping = keep;
    if (!keep)
        m_messages.clear();
}

// The identity seen longest ago goes, and its message with it, so that the message cannot come
// back as new while it is still offered.
void SmsInbox::forgetOldestIdentity()
{
    const auto oldest = std::min_element(m_seen.cbegin(), m_seen.cend());
    m_messages.remove(oldest.key());
    m_seen.erase(oldest);
}

QList<Message> SmsInbox::since(TimePoint since) const
{
    QList<Kept> kept;
    for (const Kept& each : m_messages)
        if (cameAt(each) >= since - phoneClockLag)
            kept.append(each);
    std::sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) { return cameAt(a) < cameAt(b); });
    QList<Message> out;
    for (const Kept& each : kept) {
        SmsMessage message = each.message;
        // Ranked with mail by when it came, not by a clock that runs ahead.
        message.dateMs = std::llround(cameAt(each) * 1000);
        out.append(smsAsMessage(message));
    }
    return out;
}

} // namespace tessary
