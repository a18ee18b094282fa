#include "platform/linux/AccessibilityEnabling.h"

#include "platform/linux/DesktopSession.h"
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
    switch (DesktopSession::current()) {
    case DesktopSession::Kind::x11:
        return Session::x11;
    case DesktopSession::Kind::sway:
    case DesktopSession::Kind::otherWayland:
        return Session::wayland;
    case DesktopSession::Kind::none:
        break;
    }
    return Session::none;
}

QString AccessibilityEnabling::sessionProblem()
{
    return DesktopSession::problem(DesktopSession::current(),
                                   DesktopSession::desktop(DesktopSession::readEnvironment()));
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

namespace {

// Whether codes can be typed in this session: through XTest on X11, through the compositor's
// virtual keyboard on sway.
bool canType()
{
    switch (DesktopSession::current()) {
    case DesktopSession::Kind::x11:
        return AccessibilityEnabling::hasXTest();
    case DesktopSession::Kind::sway:
        return true;
    case DesktopSession::Kind::otherWayland:
    case DesktopSession::Kind::none:
        break;
    }
    return false;
}

} // namespace

bool AccessibilityEnabling::granted()
{
    return canType() && isEnabled();
}

void AccessibilityEnabling::checkGranted(QObject* context, std::function<void(bool)> answer)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!canType() || !bus.isConnected()) {
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
