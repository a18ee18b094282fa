#include "platform/kdeconnect/KdeConnectNotifications.h"

#include "platform/kdeconnect/KdeConnectBus.h"
#include "platform/kdeconnect/NotificationMessage.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <cmath>

namespace tessary {

using namespace kdeconnect;

namespace {
const QString notificationsInterface = QStringLiteral("org.kde.kdeconnect.device.notifications");
const QString notificationInterface = QStringLiteral("org.kde.kdeconnect.device.notifications.notification");
} // namespace

KdeConnectNotifications::KdeConnectNotifications(QDBusConnection bus, const KdeConnectDevices& devices,
                                                 Clock& clock, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_devices(devices)
    , m_clock(clock)
{
}

void KdeConnectNotifications::follow(const QString& id)
{
    if (m_listening.contains(id))
        return;
    m_listening.insert(id);
    // An update is a new message in the same conversation, under the same notification.
    for (const char* signal : {"notificationPosted", "notificationUpdated"})
        m_bus.connect(QString(), devicePath(id) + QStringLiteral("/notifications"), notificationsInterface,
                      QLatin1String(signal), this, SLOT(onNotification(QDBusMessage)));
}

// Each notification is an object of its own: its properties are read once it is posted.
void KdeConnectNotifications::onNotification(const QDBusMessage& signal)
{
    if (!m_devices.isDaemon(signal) || signal.arguments().isEmpty())
        return;
    const QString id = deviceOf(signal);
    const qint64 arrivedMs = std::llround(m_clock.now() * 1000);
    QDBusMessage call = callOf(signal.path() + QLatin1Char('/') + signal.arguments().constFirst().toString(),
                               QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    call << notificationInterface;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, id, arrivedMs](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                const QDBusPendingReply<QVariantMap> reply = *done;
                if (reply.isError())
                    return;
                if (const std::optional<SmsMessage> message =
                        decodeNotification(reply.value(), id, arrivedMs))
                    emit relayed(*message);
            });
}

} // namespace tessary
