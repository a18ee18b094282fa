#include "platform/atspi/AccessibilityEnabling.h"

#include "common/Logging.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

namespace tessary {

namespace {
constexpr int busTimeoutMs = 1000;
const QString launcherService = QStringLiteral("org.a11y.Bus");
const QString launcherPath = QStringLiteral("/org/a11y/bus");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString statusInterface = QStringLiteral("org.a11y.Status");
const QString enabledProperty = QStringLiteral("IsEnabled");

QDBusMessage readEnabled()
{
    QDBusMessage get = QDBusMessage::createMethodCall(launcherService, launcherPath, propertiesInterface,
                                                      QStringLiteral("Get"));
    get << statusInterface << enabledProperty;
    return get;
}

bool enabledIn(const QDBusMessage& reply)
{
    if (reply.type() == QDBusMessage::ErrorMessage)
        qCWarning(logAtspi).noquote()
            << "the accessibility bus launcher did not answer:" << reply.errorMessage();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

} // namespace

bool AccessibilityEnabling::isEnabled()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    return enabledIn(bus.call(readEnabled(), QDBus::Block, busTimeoutMs));
}

bool AccessibilityEnabling::enable()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    if (isEnabled())
        return true;
    QDBusMessage set = QDBusMessage::createMethodCall(launcherService, launcherPath, propertiesInterface,
                                                      QStringLiteral("Set"));
    set << statusInterface << enabledProperty << QVariant::fromValue(QDBusVariant(true));
    const QDBusMessage reply = bus.call(set, QDBus::Block, busTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        qCWarning(logAtspi).noquote() << "accessibility could not be switched on:" << reply.errorMessage();
    return isEnabled();
}

void AccessibilityEnabling::checkEnabled(QObject* context, std::function<void(bool)> answer)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        answer(false);
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(readEnabled(), busTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [answer = std::move(answer)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         answer(enabledIn(finished->reply()));
                     });
}

} // namespace tessary
