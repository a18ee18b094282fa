#include "platform/freedesktop/DBusHeartbeatBus.h"

#include "common/Logging.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace tessary {

namespace {
const QString path = QStringLiteral("/com/tessary/mac/dev");
const QString interface = QStringLiteral("com.tessary.mac.dev");
const QString member = QStringLiteral("heartbeat");
} // namespace

void DBusHeartbeatBus::post()
{
    if (!QDBusConnection::sessionBus().send(QDBusMessage::createSignal(path, interface, member)))
        qCWarning(logDesktop) << "the heartbeat could not be sent on the session bus";
}

void DBusHeartbeatBus::listen(std::function<void()> received)
{
    m_received = std::move(received);
    QDBusConnection::sessionBus().connect(QString(), path, interface, member, this, SLOT(heard()));
}

void DBusHeartbeatBus::heard()
{
    if (m_received)
        m_received();
}

} // namespace tessary
