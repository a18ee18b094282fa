#include "platform/kdeconnect/KdeConnectSms.h"

#include <QPointer>

namespace tessary {

KdeConnectSms::KdeConnectSms(QDBusConnection bus, Clock& clock, QObject* parent, TimePoint keep,
                             std::chrono::milliseconds answer)
    : SmsSource(parent)
    , m_clock(clock)
    , m_keep(keep)
    , m_answer(answer)
    , m_inbox(keep)
    , m_devices(bus)
    , m_conversations(bus, m_devices)
    , m_notifications(bus, m_devices, clock)
{
    connect(&m_devices, &KdeConnectDevices::changed, this, &KdeConnectSms::devicesChanged);
    connect(&m_conversations, &KdeConnectConversations::relayed, this, &KdeConnectSms::takeMessage);
    connect(&m_notifications, &KdeConnectNotifications::relayed, this, &KdeConnectSms::takeNotification);
}

// The notifications of a phone count only while it sends no text messages: otherwise each
// message came as a text message already.
QList<Message> KdeConnectSms::received(TimePoint since) const
{
    QList<Message> out = m_inbox.since(since);
    for (auto each = m_noticed.cbegin(); each != m_noticed.cend(); ++each)
        if (!sendsMessages(each.key()))
            out += each.value().since(since);
    return out;
}

PhoneService KdeConnectSms::service() const
{
    PhoneService out = m_devices.service();
    for (PairedPhone& phone : out.phones) {
        const bool silent = phone.sms && m_silent.contains(phone.id);
        phone.sms = phone.sms && !silent;
        phone.unanswered = silent && !m_mute.contains(phone.id);
    }
    return out;
}

void KdeConnectSms::setKeeping(bool keep)
{
    m_keeping = keep;
    m_inbox.setKeeping(keep);
    for (SmsInbox& noticed : m_noticed)
        noticed.setKeeping(keep);
}

// A phone's conversations are read again, and the phone asked again, each time it comes back:
// the daemon may hold messages that arrived while it could not relay them.
void KdeConnectSms::devicesChanged()
{
    QSet<QString> following;
    for (const PairedPhone& each : m_devices.service().phones) {
        if (each.notifications)
            m_notifications.follow(each.id);
        if (!each.sms)
            continue;
        following.insert(each.id);
        if (m_following.contains(each.id))
            continue;
        m_heard.remove(each.id);
        m_conversations.follow(each.id);
        m_waits.insert(each.id, makeCancelToken());
        awaitAnswer(each.id, m_waits.value(each.id), false);
    }
    for (const QString& gone : m_following - following)
        endWait(gone);
    m_following = following;
    emit serviceChanged();
}

QCoro::Task<> KdeConnectSms::awaitAnswer(QString id, CancelToken wait, bool notified)
{
    QPointer<KdeConnectSms> self(this);
    co_await m_clock.sleep(m_answer, wait);
    if (!self || isCancelled(wait))
        co_return;
    if (notified)
        notifiedAlone(id);
    else
        unanswered(id);
}

void KdeConnectSms::endWait(const QString& id)
{
    if (const CancelToken wait = m_waits.take(id))
        wait->cancel();
}

void KdeConnectSms::unanswered(const QString& id)
{
    if (m_silent.contains(id))
        return;
    m_silent.insert(id);
    emit serviceChanged();
    // What its notifications brought meanwhile counts from now on.
    if (!m_noticed.value(id).since(0).isEmpty())
        emit arrived();
}

void KdeConnectSms::takeMessage(const SmsMessage& message)
{
    // Any message it relays, sent or old, shows that the phone sends them.
    m_heard.insert(message.deviceId);
    endWait(message.deviceId);
    m_mute.remove(message.deviceId);
    if (m_silent.remove(message.deviceId))
        emit serviceChanged();
    const std::optional<PairedPhone> from = phone(message.deviceId);
    if (!from)
        return;
    SmsMessage named = message;
    named.deviceName = from->name;
    if (m_inbox.add(named, m_clock.now()))
        emit arrived();
}

void KdeConnectSms::takeNotification(const SmsMessage& message)
{
    const std::optional<PairedPhone> from = phone(message.deviceId);
    if (!from)
        return;
    SmsMessage named = message;
    named.deviceName = from->name;
    auto kept = m_noticed.find(message.deviceId);
    if (kept == m_noticed.end()) {
        kept = m_noticed.insert(message.deviceId, SmsInbox(m_keep));
        kept->setKeeping(m_keeping);
    }
    if (!kept->add(named, m_clock.now()))
        return;
    if (!sendsMessages(message.deviceId))
        emit arrived();
    // A phone that relays text messages relays this one too, soon.
    if (m_following.contains(message.deviceId) && !m_heard.contains(message.deviceId))
        awaitAnswer(message.deviceId, m_waits.value(message.deviceId), true);
}

void KdeConnectSms::notifiedAlone(const QString& id)
{
    if (m_mute.contains(id))
        return;
    m_mute.insert(id);
    if (m_silent.contains(id))
        emit serviceChanged();
}

// A phone away, or gone with the daemon, counts as it last did: one that relayed a text message
// since it was last asked sent each message as one, its notifications too.
bool KdeConnectSms::sendsMessages(const QString& id) const
{
    const std::optional<PairedPhone> known = phone(id);
    return known && known->reachable ? known->sms : m_heard.contains(id);
}

std::optional<PairedPhone> KdeConnectSms::phone(const QString& id) const
{
    for (const PairedPhone& each : service().phones)
        if (each.id == id)
            return each;
    return std::nullopt;
}

} // namespace tessary
