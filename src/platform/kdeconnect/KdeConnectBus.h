#pragma once

#include <QDBusMessage>
#include <QString>

namespace tessary::kdeconnect {

// The names KDE Connect's daemon answers to on the session bus.
inline const QString busName = QStringLiteral("org.kde.kdeconnect");
inline const QString daemonPath = QStringLiteral("/modules/kdeconnect");
inline const QString daemonInterface = QStringLiteral("org.kde.kdeconnect.daemon");
inline const QString deviceInterface = QStringLiteral("org.kde.kdeconnect.device");

inline QString devicePath(const QString& id)
{
    return daemonPath + QStringLiteral("/devices/") + id;
}

// The device a signal of a device's object, or of one under it, came from.
inline QString deviceOf(const QDBusMessage& signal)
{
    return signal.path().section(QLatin1Char('/'), 4, 4);
}

// A call that never starts the daemon through D-Bus activation: Tessary only reads a daemon the
// user runs.
inline QDBusMessage callOf(const QString& path, const QString& interface, const QString& method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(busName, path, interface, method);
    call.setAutoStartService(false);
    return call;
}

} // namespace tessary::kdeconnect
