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

void AccessibilityEnabling::enable(QObject* context, std::function<void(bool)> done)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        done(false);
        return;
    }
    QDBusMessage set = QDBusMessage::createMethodCall(launcherService, launcherPath, propertiesInterface,
                                                      QStringLiteral("Set"));
    set << statusInterface << enabledProperty << QVariant::fromValue(QDBusVariant(true));
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(set, busTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [context, done = std::move(done)](QDBusPendingCallWatcher* finished) mutable {
                         finished->deleteLater();
                         const QDBusMessage reply = finished->reply();
                         if (reply.type() == QDBusMessage::ErrorMessage)
                             qCWarning(logAtspi).noquote()
                                 << "accessibility could not be switched on:" << reply.errorMessage();
                         // Read back, as the launcher may keep the old value on a refusal.
                         checkEnabled(context, std::move(done));
                     });
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
