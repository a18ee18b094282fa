#include "platform/kdeconnect/KdeConnectDevices.h"

#include "platform/kdeconnect/KdeConnectBus.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace tessary {

using namespace kdeconnect;

namespace {
const QString smsPlugin = QStringLiteral("kdeconnect_sms");
const QString notificationsPlugin = QStringLiteral("kdeconnect_notifications");
} // namespace

KdeConnectDevices::KdeConnectDevices(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_watcher(new QDBusServiceWatcher(busName, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this))
{
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) { m_owner = owner; });
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &KdeConnectDevices::listDevices);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &KdeConnectDevices::serviceVanished);
    for (const char* signal : {"deviceAdded", "deviceRemoved", "deviceVisibilityChanged"})
        m_bus.connect(QString(), daemonPath, daemonInterface, QLatin1String(signal), this,
                      SLOT(onDevicesChanged(QDBusMessage)));
    // A call on a bus that is not connected never finishes: there is nothing to wait for.
    if (!m_bus.isConnected()) {
        m_daemon = PhoneService::Daemon::noSessionBus;
        m_settled = true;
        return;
    }
    // Whether the daemon runs now is learnt from the one call that lists its devices.
    listDevices();
}

PhoneService KdeConnectDevices::service() const
{
    PhoneService out{m_settled ? m_daemon : PhoneService::Daemon::unknown, {}};
    for (const QString& id : m_ids)
        if (m_read.contains(id))
            out.phones.append(m_read.value(id));
    return out;
}

void KdeConnectDevices::serviceVanished()
{
    m_daemon = PhoneService::Daemon::notRunning;
    m_settled = true;
    m_ids.clear();
    m_read.clear();
    emit changed();
}

void KdeConnectDevices::onDevicesChanged(const QDBusMessage& signal)
{
    if (isDaemon(signal))
        listDevices();
}

void KdeConnectDevices::onDeviceChanged(const QDBusMessage& signal)
{
    const QString id = deviceOf(signal);
    if (isDaemon(signal) && m_ids.contains(id))
        readDevice(id);
}

void KdeConnectDevices::listDevices()
{
    ++m_listings;
    QDBusMessage call = callOf(daemonPath, daemonInterface, QStringLiteral("devices"));
    call << false << true; // reachable or not, paired
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &KdeConnectDevices::devicesListed);
}

void KdeConnectDevices::devicesListed(QDBusPendingCallWatcher* call)
{
    call->deleteLater();
    const QDBusPendingReply<QStringList> reply = *call;
    if (reply.isError()) {
        m_ids.clear();
        m_read.clear();
        checkInstalled();
        return;
    }
    m_owner = reply.reply().service();
    m_daemon = PhoneService::Daemon::running;
    m_ids = reply.value();
    if (!m_settled) {
        m_unread = QSet<QString>(m_ids.cbegin(), m_ids.cend());
        m_settled = m_unread.isEmpty();
    }
    for (auto kept = m_read.begin(); kept != m_read.end();)
        kept = m_ids.contains(kept.key()) ? std::next(kept) : m_read.erase(kept);
    for (const QString& id : std::as_const(m_ids)) {
        // Signals are matched by no sender and checked against the owner, so they survive the daemon
        // restarting.
        if (!m_listening.contains(id)) {
            m_listening.insert(id);
            for (const char* signal : {"reachableChanged", "pluginsChanged", "nameChanged"})
                m_bus.connect(QString(), devicePath(id), deviceInterface, QLatin1String(signal), this,
                              SLOT(onDeviceChanged(QDBusMessage)));
            // Unpaired, it leaves the list.
            m_bus.connect(QString(), devicePath(id), deviceInterface, QStringLiteral("trustedChanged"), this,
                          SLOT(onDevicesChanged(QDBusMessage)));
        }
        readDevice(id);
    }
    emit changed();
}

// A daemon that does not answer is either not installed or not started: the bus knows whether
// it could start it, and is not asked to.
void KdeConnectDevices::checkInstalled()
{
    const QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListActivatableNames"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, listing = m_listings](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                const QDBusPendingReply<QStringList> reply = *done;
                if (listing != m_listings)
                    return; // the daemon came up meanwhile and was asked again
                m_daemon = !reply.isError() && reply.value().contains(busName)
                               ? PhoneService::Daemon::notRunning
                               : PhoneService::Daemon::notInstalled;
                m_settled = true;
                emit changed();
            });
}

void KdeConnectDevices::readDevice(const QString& id)
{
    QDBusMessage call =
        callOf(devicePath(id), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    call << deviceInterface;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, id](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusPendingReply<QVariantMap> reply = *done;
        if (reply.isError() || !m_ids.contains(id)) {
            readEnded(id, false);
            return;
        }
        const QVariantMap properties = reply.value();
        const QString name = properties.value(QStringLiteral("name")).toString();
        readPlugins(id, PairedPhone{id, name.isEmpty() ? id : name,
                                    properties.value(QStringLiteral("isReachable")).toBool(), false, false});
    });
}

// The loaded plugins, not the supported ones: a plugin the user turned off relays nothing.
void KdeConnectDevices::readPlugins(const QString& id, PairedPhone phone)
{
    const QDBusMessage call = callOf(devicePath(id), deviceInterface, QStringLiteral("loadedPlugins"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, phone](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusPendingReply<QStringList> reply = *done;
        if (!m_ids.contains(phone.id)) {
            readEnded(phone.id, false);
            return;
        }
        PairedPhone read = phone;
        const QStringList plugins = reply.isError() ? QStringList{} : reply.value();
        read.sms = read.reachable && plugins.contains(smsPlugin);
        read.notifications = read.reachable && plugins.contains(notificationsPlugin);
        const bool phoneChanged = !m_read.contains(read.id) || m_read.value(read.id) != read;
        m_read.insert(read.id, read);
        readEnded(read.id, phoneChanged);
    });
}

void KdeConnectDevices::readEnded(const QString& id, bool phoneChanged)
{
    const bool settling = !m_settled && m_unread.remove(id) && m_unread.isEmpty();
    m_settled = m_settled || settling;
    if (phoneChanged || settling)
        emit changed();
}

} // namespace tessary
