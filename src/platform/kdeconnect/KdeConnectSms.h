#pragma once

#include "analysis/SmsInbox.h"
#include "common/Clock.h"
#include "engine/SmsSource.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QHash>
#include <QSet>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace tessary {

// The text messages of the phones paired with KDE Connect, read from its daemon on the session
// bus. It watches the daemon come and go and devices being added, and only listens: it never
// pairs, accepts a pairing or marks a message read. Main thread only.
class KdeConnectSms : public SmsSource {
    Q_OBJECT
public:
    struct Phone {
        QString id;
        QString name;
    };

    // Messages are kept `keep` seconds after they were received.
    KdeConnectSms(QDBusConnection bus, Clock& clock, QObject* parent = nullptr, TimePoint keep = 600);

    QList<Message> received(TimePoint since) const override;
    // Whether the daemon runs, and its paired, reachable phones as last seen.
    bool serviceRunning() const { return m_running; }
    // Whether the daemon answered the first question about its phones yet.
    bool known() const { return m_known; }
    QList<Phone> phones() const;

signals:
    // The daemon or its list of phones changed.
    void phonesChanged();

private slots:
    void onConversation(const QDBusMessage& signal);
    void onConversationLoaded(const QDBusMessage& signal);
    void onDevicesChanged(const QDBusMessage& signal);

private:
    void serviceAppeared();
    void serviceVanished();
    void listDevices();
    void devicesListed(QDBusPendingCallWatcher* call);
    void listenTo(const QString& id);
    void readName(const QString& id);
    void readActive(const QString& id);
    void take(const QVariant& message, const QString& id);

    QDBusConnection m_bus;
    Clock& m_clock;
    SmsInbox m_inbox;
    QDBusServiceWatcher* m_watcher;
    bool m_running = false;
    bool m_known = false;
    QStringList m_phoneIds;                      // paired and reachable, in the daemon's order
    QHash<QString, QString> m_names;             // device id → name
    QSet<QString> m_listening;                   // devices whose signals are connected
    QSet<QPair<qlonglong, qulonglong>> m_reread; // threads re-read after a load, with their size
};

} // namespace tessary
