#include "platform/session/DesktopSession.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace tessary {

DesktopSession::Environment DesktopSession::readEnvironment()
{
    Environment environment{
        .sessionType = qEnvironmentVariable("XDG_SESSION_TYPE"),
        .waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY"),
        .display = qEnvironmentVariable("DISPLAY"),
        .swaySocket = qEnvironmentVariable("SWAYSOCK"),
        .currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
    };
    // A SWAYSOCK left over from an earlier sway login names a socket that is gone.
    if (!environment.swaySocket.isEmpty() && !QFileInfo::exists(environment.swaySocket))
        environment.swaySocket.clear();
    // So can a WAYLAND_DISPLAY, which the user's services keep from an earlier Wayland login.
    const QString waylandSocket =
        QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).filePath(environment.waylandDisplay);
    if (!environment.waylandDisplay.isEmpty() && !QFileInfo::exists(waylandSocket))
        environment.waylandDisplay.clear();
    return environment;
}

DesktopSession::Kind DesktopSession::classify(const Environment& environment)
{
    // XDG_SESSION_TYPE wins when set: an X11 session may still carry a stray WAYLAND_DISPLAY, and a
    // Wayland one always carries DISPLAY for XWayland.
    const bool wayland =
        environment.sessionType == QLatin1String("wayland") ||
        (!environment.waylandDisplay.isEmpty() && environment.sessionType != QLatin1String("x11"));
    if (wayland) {
        if (!environment.swaySocket.isEmpty())
            return Kind::sway;
        switch (desktop(environment)) {
        case Desktop::gnome:
            return Kind::gnome;
        case Desktop::kde:
            return Kind::kwin;
        case Desktop::other:
            break;
        }
        return Kind::otherWayland;
    }
    if (environment.display.isEmpty())
        return Kind::none;
    return Kind::x11;
}

DesktopSession::Desktop DesktopSession::desktop(const Environment& environment)
{
    // Desktops built on GNOME's parts name it after themselves as a fallback for menus and
    // settings, with no GNOME Shell to run Tessary's extension; a brand before "GNOME" ("ubuntu",
    // "pop") is GNOME Shell itself.
    static const QStringList notGnomeShell = {QStringLiteral("Budgie"), QStringLiteral("Pantheon"),
                                              QStringLiteral("GNOME-Flashback"), QStringLiteral("Unity")};
    const QStringList names = environment.currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& name : names) {
        if (notGnomeShell.contains(name, Qt::CaseInsensitive))
            return Desktop::other;
        if (name.compare(QLatin1String("GNOME"), Qt::CaseInsensitive) == 0)
            return Desktop::gnome;
        if (name.compare(QLatin1String("KDE"), Qt::CaseInsensitive) == 0)
            return Desktop::kde;
    }
    return Desktop::other;
}

DesktopSession::Kind DesktopSession::current()
{
    static const Kind kind = classify(readEnvironment());
    return kind;
}

bool DesktopSession::isWayland(Kind kind)
{
    return kind == Kind::sway || kind == Kind::kwin || kind == Kind::gnome || kind == Kind::otherWayland;
}

QString DesktopSession::name(Kind kind)
{
    switch (kind) {
    case Kind::kwin:
        return QStringLiteral("kwin");
    case Kind::x11:
        return QStringLiteral("x11");
    case Kind::sway:
        return QStringLiteral("sway");
    case Kind::gnome:
        return QStringLiteral("gnome");
    case Kind::otherWayland:
        return QStringLiteral("wayland");
    case Kind::none:
        break;
    }
    return QStringLiteral("none");
}

QString DesktopSession::problem(Kind kind)
{
    switch (kind) {
    case Kind::x11:
    case Kind::sway:
    case Kind::kwin:
    case Kind::gnome: // what the shell extension lacks is asked of it
        return {};
    case Kind::none:
        return QStringLiteral("No X11 display: DISPLAY is not set.");
    case Kind::otherWayland:
        break;
    }
    return QStringLiteral(
        "This Wayland compositor offers no sway IPC (SWAYSOCK is not set), which Tessary needs "
        "to find the window in front and where it is: use sway or log in with an X11 (Xorg) "
        "session.");
}

} // namespace tessary
