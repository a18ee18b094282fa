#pragma once

#include "common/Clock.h"
#include "common/Records.h"
#include "platform/kdeconnect/KdeConnectDevices.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QSet>

namespace tessary {

// The notifications a phone posts through KDE Connect, those of a messages app read as text
// messages: the way to a code when the phone relays no text messages itself. It never dismisses
// a notification. Main thread only.
class KdeConnectNotifications : public QObject {
    Q_OBJECT
public:
    // Signals count only from the daemon `devices` knows.
    KdeConnectNotifications(QDBusConnection bus, const KdeConnectDevices& devices, Clock& clock,
                            QObject* parent = nullptr);

    // Listens to what the phone `id` posts from now on.
    void follow(const QString& id);

signals:
    // A messages app's notification as a received message, without the phone's name.
    void relayed(const SmsMessage& message);

private slots:
    void onNotification(const QDBusMessage& signal);

private:
    QDBusConnection m_bus;
    const KdeConnectDevices& m_devices;
    Clock& m_clock;
    QSet<QString> m_listening; // devices whose signals are connected
};

} // namespace tessary
