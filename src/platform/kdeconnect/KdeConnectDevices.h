#pragma once

#include "engine/SmsSource.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QHash>
#include <QSet>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace tessary {

// KDE Connect's daemon on the session bus and the phones paired with it: whether the daemon is
// installed and runs, each phone's name, whether it is reachable and which of its messages it
// relays. Watches the daemon come and go and its devices change; never starts the daemon or pairs.
// Main thread only.
class KdeConnectDevices : public QObject {
    Q_OBJECT
public:
    explicit KdeConnectDevices(QDBusConnection bus, QObject* parent = nullptr);

    // Phones appear once their name and plugins are read, in the daemon's order. The daemon counts
    // as unknown until every phone it first listed was read: until then no phone is no answer.
    PhoneService service() const;
    // Whether a signal came from the daemon, not another program. Signals are connected without the
    // daemon's name, which would have QtDBus ask the bus daemon for its owner, and wait.
    bool isDaemon(const QDBusMessage& signal) const
    {
        return !m_owner.isEmpty() && signal.service() == m_owner;
    }

signals:
    void changed();

private slots:
    void onDevicesChanged(const QDBusMessage& signal);
    void onDeviceChanged(const QDBusMessage& signal);

private:
    void serviceVanished();
    void listDevices();
    void devicesListed(QDBusPendingCallWatcher* call);
    void checkInstalled();
    void readDevice(const QString& id);
    void readPlugins(const QString& id, PairedPhone phone);
    void readEnded(const QString& id, bool phoneChanged);

    QDBusConnection m_bus;
    QDBusServiceWatcher* m_watcher;
    QString m_owner; // the daemon's unique name, from the watcher and its answers
    PhoneService::Daemon m_daemon = PhoneService::Daemon::unknown;
    QStringList m_ids;                  // paired devices, in the daemon's order
    QHash<QString, PairedPhone> m_read; // device id → what was read of it
    QSet<QString> m_listening;          // devices whose signals are connected
    QSet<QString> m_unread;             // phones of the first listing not read yet
    bool m_settled = false;             // the daemon's state and its first phones are known
    quint64 m_listings = 0;             // lists asked for, so a late answer about an older one is known
};

} // namespace tessary
