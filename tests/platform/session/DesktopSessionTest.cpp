#include "platform/session/DesktopSession.h"
#include "platform/session/QtEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tessary {
namespace {

using Kind = DesktopSession::Kind;
using Desktop = DesktopSession::Desktop;

TEST(DesktopSession, TheSessionIsReadFromTheEnvironmentTheLoginSet)
{
    struct Row {
        const char* why;
        DesktopSession::Environment environment;
        Kind kind;
        Desktop desktop = Desktop::other;
    };
    const Row rows[] = {
        {"Xorg login", {"x11", "", ":0", "", "XFCE"}, Kind::x11},
        {"Xorg, stray WAYLAND_DISPLAY, SWAYSOCK", {"x11", "wayland-0", ":1", "/run/s.sock", ""}, Kind::x11},
        {"sway", {"wayland", "wayland-1", ":0", "/run/s.sock", "sway"}, Kind::sway},
        {"sway from a console: no session type", {"tty", "wayland-1", "", "/run/s.sock", ""}, Kind::sway},
        // GNOME on Wayland keeps DISPLAY for XWayland.
        {"GNOME on Wayland", {"wayland", "wayland-0", ":0", "", "ubuntu:GNOME"}, Kind::gnome, Desktop::gnome},
        {"GNOME on Xorg", {"x11", "", ":0", "", "GNOME"}, Kind::x11, Desktop::gnome},
        {"Budgie on Wayland: no GNOME Shell",
         {"wayland", "wayland-0", ":0", "", "Budgie:GNOME"},
         Kind::otherWayland},
        {"Plasma on Wayland", {"wayland", "wayland-0", ":1", "", "KDE"}, Kind::kwin, Desktop::kde},
        {"Plasma's X11 session", {"x11", "", ":0", "", "KDE"}, Kind::x11, Desktop::kde},
        {"Wayland by display alone", {"", "wayland-0", "", "", "Hyprland"}, Kind::otherWayland},
        {"plain X server, no login manager", {"", "", ":5", "", ""}, Kind::x11},
        {"console", {"tty", "", "", "", ""}, Kind::none},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(DesktopSession::classify(row.environment), row.kind);
        EXPECT_EQ(DesktopSession::desktop(row.environment), row.desktop);
        const QString problem = DesktopSession::problem(row.kind);
        // What GNOME on Wayland lacks depends on its shell extension, which is asked instead.
        EXPECT_EQ(problem.isEmpty(), row.kind != Kind::otherWayland && row.kind != Kind::none);
    }
}

// An earlier Wayland login can leave WAYLAND_DISPLAY in the user's services, naming a socket that
// is gone: no compositor answers there, and the X11 session this is stays one.
TEST(DesktopSession, AWaylandDisplayCountsOnlyWhileItsSocketIsThere)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const QByteArray runtimeBefore = qgetenv("XDG_RUNTIME_DIR"), displayBefore = qgetenv("WAYLAND_DISPLAY");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    for (const QString& display : {QStringLiteral("wayland-7"), runtime.filePath(QStringLiteral("w-8"))}) {
        SCOPED_TRACE(display.toStdString());
        qputenv("WAYLAND_DISPLAY", display.toUtf8());
        EXPECT_EQ(DesktopSession::readEnvironment().waylandDisplay, QString());
        QFile socket(QDir(runtime.path()).filePath(display));
        ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
        EXPECT_EQ(DesktopSession::readEnvironment().waylandDisplay, display);
    }
    qputenv("XDG_RUNTIME_DIR", runtimeBefore);
    qputenv("WAYLAND_DISPLAY", displayBefore);
}

// GNOME and Plasma show Qt's own window frames; only sway draws them itself, and a frame the user
// asked Qt for stays.
TEST(DesktopSession, OnlySwaySparesQtItsWindowFrames)
{
    const char* const noFrames = "QT_WAYLAND_DISABLE_WINDOWDECORATION";
    for (const Kind kind : {Kind::x11, Kind::sway, Kind::kwin, Kind::gnome, Kind::otherWayland}) {
        SCOPED_TRACE(DesktopSession::name(kind).toStdString());
        qunsetenv(noFrames);
        setQtEnvironment(kind);
        EXPECT_EQ(qEnvironmentVariable(noFrames), kind == Kind::sway ? QStringLiteral("1") : QString());
    }
    qputenv(noFrames, "0");
    setQtEnvironment(Kind::sway);
    EXPECT_EQ(qEnvironmentVariable(noFrames), QStringLiteral("0"));
    qunsetenv(noFrames);
}

} // namespace
} // namespace tessary
