#include "platform/linux/AccessibilityEnabling.h"

#include "platform/linux/X11Connection.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

#include <X11/extensions/XTest.h>

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
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

} // namespace

AccessibilityEnabling::Session AccessibilityEnabling::session()
{
    const QByteArray type = qgetenv("XDG_SESSION_TYPE");
    if (type == "wayland" || (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && type != "x11"))
        return Session::wayland;
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return Session::none;
    return Session::x11;
}

QString AccessibilityEnabling::sessionProblem()
{
    switch (session()) {
    case Session::wayland:
        return QStringLiteral("Wayland sessions are not supported: Tessary reads fields and types codes "
                              "only in an X11 session. Log in with an X11 (Xorg) session to use it.");
    case Session::none:
        return QStringLiteral("No X11 display: DISPLAY is not set.");
    case Session::x11:
        break;
    }
    return {};
}

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
    bus.call(set, QDBus::Block, busTimeoutMs);
    return isEnabled();
}

bool AccessibilityEnabling::hasXTest()
{
    // Asked once: the server's extensions do not change while it runs, and trust is polled often.
    static const bool present = [] {
        X11Connection connection;
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        return connection &&
               XTestQueryExtension(connection.display(), &eventBase, &errorBase, &major, &minor);
    }();
    return present;
}

bool AccessibilityEnabling::granted()
{
    return session() == Session::x11 && isEnabled() && hasXTest();
}

void AccessibilityEnabling::checkGranted(QObject* context, std::function<void(bool)> answer)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (session() != Session::x11 || !hasXTest() || !bus.isConnected()) {
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
