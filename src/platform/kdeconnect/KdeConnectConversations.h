#pragma once

#include "common/Records.h"
#include "platform/kdeconnect/KdeConnectDevices.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QSet>

namespace tessary {

// The text messages a phone relays through KDE Connect's conversations interface: those the
// daemon holds and those it relays later. It only listens: it never marks a message read.
// Main thread only.
class KdeConnectConversations : public QObject {
    Q_OBJECT
public:
    // Signals count only from the daemon `devices` knows.
    KdeConnectConversations(QDBusConnection bus, const KdeConnectDevices& devices, QObject* parent = nullptr);

    // Listens to the phone `id` (once), reads the newest message of each thread the daemon holds
    // (what arrived while nobody listened) and asks the phone for the newest of each of its
    // threads: a phone that answers nothing sends no text messages.
    void follow(const QString& id);

signals:
    // A message as the phone relayed it, without the phone's name; repeats included.
    void relayed(const SmsMessage& message);

private slots:
    void onConversation(const QDBusMessage& signal);
    void onConversationLoaded(const QDBusMessage& signal);

private:
    void take(const QVariant& message, const QString& id);

    QDBusConnection m_bus;
    const KdeConnectDevices& m_devices;
    QSet<QString> m_listening; // devices whose signals are connected
    QSet<QString> m_reread;    // threads re-read after a load: "<device>/<thread>/<size>"
};

} // namespace tessary
