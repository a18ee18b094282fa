#pragma once

#include "analysis/SmsInbox.h"
#include "common/Clock.h"
#include "engine/SmsSource.h"
#include "platform/kdeconnect/KdeConnectConversations.h"
#include "platform/kdeconnect/KdeConnectDevices.h"
#include "platform/kdeconnect/KdeConnectNotifications.h"

#include <QDBusConnection>
#include <QHash>

#include <chrono>

namespace tessary {

// The text messages of the phones paired with KDE Connect, read from its daemon on the session
// bus: from each reachable phone's conversations, or from its messages app's notifications when
// it sends no text messages (its SMS plugin is off, or it answers nothing when asked for its
// threads). It only reads: it never pairs, accepts a pairing, marks a message read or dismisses a
// notification. Main thread only.
//
// The daemon says nothing when a phone answers that it has no threads at all: such a phone and
// one whose app lacks the SMS permission look alike until a message comes. A phone with the
// permission relays each new text message as it comes, so a messages app's notification with no
// text message within `answer` tells the phone lacks it; until then the phone is unanswered.
class KdeConnectSms : public SmsSource {
    Q_OBJECT
public:
    // Messages are kept `keep` seconds after they were received; a phone that relays no message
    // within `answer` of being asked sends none.
    KdeConnectSms(QDBusConnection bus, Clock& clock, QObject* parent = nullptr, TimePoint keep = 600,
                  std::chrono::milliseconds answer = std::chrono::seconds(8));

    QList<Message> received(TimePoint since) const override;
    PhoneService service() const override;
    void setKeeping(bool keep) override;

private:
    void devicesChanged();
    void takeMessage(const SmsMessage& message);
    void takeNotification(const SmsMessage& message);
    // Waits `answer` for a text message from the phone `id`, then counts it unanswered, or (when
    // `notified`) as relaying no message for its notifications.
    QCoro::Task<> awaitAnswer(QString id, CancelToken wait, bool notified);
    void endWait(const QString& id);
    void unanswered(const QString& id);
    void notifiedAlone(const QString& id);
    bool sendsMessages(const QString& id) const;
    std::optional<PairedPhone> phone(const QString& id) const;

    Clock& m_clock;
    TimePoint m_keep;
    std::chrono::milliseconds m_answer;
    bool m_keeping = true;
    SmsInbox m_inbox;
    QHash<QString, SmsInbox> m_noticed; // device id → its messages app's notifications
    KdeConnectDevices m_devices;
    KdeConnectConversations m_conversations;
    KdeConnectNotifications m_notifications;
    QSet<QString> m_following; // phones whose conversations are read now
    QSet<QString> m_heard;     // phones that relayed a text message since they were last asked
    // Phones asked and waited for: a text message from one, or its leaving or being asked again,
    // ends the waits for it.
    QHash<QString, CancelToken> m_waits;
    QSet<QString> m_silent; // phones that answered nothing when asked
    QSet<QString> m_mute;   // phones that relayed no text message for a messages app's notification
};

} // namespace tessary
