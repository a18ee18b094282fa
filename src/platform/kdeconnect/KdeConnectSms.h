#pragma once

#include "analysis/SmsInbox.h"
#include "common/Clock.h"
#include "engine/SmsSource.h"
#include "platform/kdeconnect/KdeConnectConversations.h"
#include "platform/kdeconnect/KdeConnectDevices.h"
#include "platform/kdeconnect/KdeConnectNotifications.h"

#include <QDBusConnection>

namespace tessary {

// The text messages of the phones paired with KDE Connect, read from its daemon on the session
// bus: from each reachable phone's conversations, or from its messages app's notifications when
// it relays no text messages. It only listens: it never pairs, accepts a pairing, marks a message
// read or dismisses a notification. Main thread only.
class KdeConnectSms : public SmsSource {
    Q_OBJECT
public:
    // Messages are kept `keep` seconds after they were received.
    KdeConnectSms(QDBusConnection bus, Clock& clock, QObject* parent = nullptr, TimePoint keep = 600);

    QList<Message> received(TimePoint since) const override;
    PhoneService service() const override { return m_devices.service(); }

private:
    void devicesChanged();
    void take(SmsMessage message, bool fromNotification);

    Clock& m_clock;
    SmsInbox m_inbox;
    KdeConnectDevices m_devices;
    KdeConnectConversations m_conversations;
    KdeConnectNotifications m_notifications;
    QSet<QString> m_following; // phones whose conversations are read now
};

} // namespace tessary
