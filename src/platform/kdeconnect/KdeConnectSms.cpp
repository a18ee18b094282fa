#include "platform/kdeconnect/KdeConnectSms.h"

namespace tessary {

KdeConnectSms::KdeConnectSms(QDBusConnection bus, Clock& clock, QObject* parent, TimePoint keep)
    : SmsSource(parent)
    , m_clock(clock)
    , m_inbox(keep)
    , m_devices(bus)
    , m_conversations(bus)
    , m_notifications(bus, clock)
{
    connect(&m_devices, &KdeConnectDevices::changed, this, &KdeConnectSms::devicesChanged);
    connect(&m_conversations, &KdeConnectConversations::relayed, this,
            [this](const SmsMessage& message) { take(message, false); });
    connect(&m_notifications, &KdeConnectNotifications::relayed, this,
            [this](const SmsMessage& message) { take(message, true); });
}

QList<Message> KdeConnectSms::received(TimePoint since) const
{
    return m_inbox.since(since);
}

// A phone's conversations are read again each time it comes back: the daemon may hold messages
// that arrived while it could not relay them.
void KdeConnectSms::devicesChanged()
{
    QSet<QString> following;
    for (const PairedPhone& phone : m_devices.service().phones) {
        if (phone.sms) {
            following.insert(phone.id);
            if (!m_following.contains(phone.id))
                m_conversations.follow(phone.id);
        } else if (phone.notifications) {
            m_notifications.follow(phone.id);
        }
    }
    m_following = following;
    emit serviceChanged();
}

// A notification counts only while its phone relays no text messages: otherwise the message came
// as a text message already.
void KdeConnectSms::take(SmsMessage message, bool fromNotification)
{
    const QList<PairedPhone> phones = m_devices.service().phones;
    const auto phone = std::find_if(phones.cbegin(), phones.cend(),
                                    [&](const PairedPhone& each) { return each.id == message.deviceId; });
    if (phone == phones.cend() || (fromNotification && phone->sms))
        return;
    message.deviceName = phone->name;
    if (m_inbox.add(message, m_clock.now()))
        emit arrived();
}

} // namespace tessary
