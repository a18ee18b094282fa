#include "platform/session/SessionAccessibility.h"

#include "platform/gnome/GnomeExtensionSwitch.h"
#include "platform/gnome/GnomeFrontmost.h"
#include "platform/gnome/GnomeShell.h"
#include "platform/kwin/KwinFrontmost.h"
#include "platform/session/DesktopSession.h"
#include "platform/sway/SwayFrontmost.h"
#include "platform/x11/EwmhFrontmost.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/XTestKeyboard.h"

#include <QCoro/QCoroTask>
#include <QGuiApplication>

namespace tessary {

std::shared_ptr<GnomeShell> sessionGnomeShell()
{
    // One connection to the extension for the window in front, the keyboard and the chip alike,
    // as long as any of them lives.
    static std::weak_ptr<GnomeShell> shared;
    std::shared_ptr<GnomeShell> shell = shared.lock();
    if (!shell) {
        shell = std::make_shared<GnomeShell>();
        shared = shell;
    }
    return shell;
}

std::unique_ptr<Frontmost> makeSessionFrontmost()
{
    if (DesktopSession::current() == DesktopSession::Kind::sway)
        return std::make_unique<SwayFrontmost>(SwayIpc::fromEnvironment());
    if (DesktopSession::current() == DesktopSession::Kind::kwin)
        return std::make_unique<KwinFrontmost>();
    if (DesktopSession::current() == DesktopSession::Kind::gnome)
        return std::make_unique<GnomeFrontmost>(sessionGnomeShell());
    return std::make_unique<EwmhFrontmost>();
}

std::unique_ptr<AtspiAccessibility> makeSessionAccessibility()
{
    return std::make_unique<AtspiAccessibility>(makeSessionFrontmost(), sessionCanType());
}

bool sessionCanType()
{
    switch (DesktopSession::current()) {
    case DesktopSession::Kind::x11:
        return XTestKeyboard::serverHasXTest();
    case DesktopSession::Kind::sway:
    case DesktopSession::Kind::kwin:
    case DesktopSession::Kind::gnome:
        return true;
    case DesktopSession::Kind::otherWayland:
    case DesktopSession::Kind::none:
        break;
    }
    return false;
}

QString gnomeExtensionMissing()
{
    return QStringLiteral(
        "Tessary's GNOME Shell extension is not running, and without it GNOME tells Tessary nothing "
        "of the window in front and lets it neither type nor show its chip: turn it on with "
        "\"gnome-extensions enable tessary@tessary.com\" (or in the Extensions app), then log out and "
        "in once if GNOME had not seen it yet.");
}

void enableSessionHelpers(QObject* context, std::function<void(QString)> note)
{
    if (DesktopSession::current() != DesktopSession::Kind::gnome) {
        note({});
        return;
    }
    enableGnomeExtension(context, [note = std::move(note)](bool running) {
        note(running ? QStringLiteral("Tessary's GNOME Shell extension is on.")
                     : QStringLiteral("Tessary's GNOME Shell extension is turned on, but GNOME loads it only "
                                      "after you log out and in once: do that now, then Tessary can see and "
                                      "type."));
    });
}

QString settleSession()
{
    if (DesktopSession::current() != DesktopSession::Kind::gnome)
        return {};
    return QCoro::waitFor(sessionGnomeShell()->ready()) ? QString() : gnomeExtensionMissing();
}

QString sessionProblem()
{
    const DesktopSession::Kind kind = DesktopSession::current();
    // DISPLAY outlives its server (a login that ended, a forwarding that broke) and may name one
    // that does not let this user in. Qt on X11 has already connected to it: no second connection
    // is opened just to learn that again (the tray application asks this at start).
    const bool qtOnX11 = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
                         QGuiApplication::platformName() == QLatin1String("xcb");
    if (kind == DesktopSession::Kind::x11 && !qtOnX11 && !X11Connection())
        return QStringLiteral("The X display \"%1\" cannot be opened: no X server answers there, or it "
                              "does not let this user in.")
            .arg(qEnvironmentVariable("DISPLAY"));
    return DesktopSession::problem(kind);
}

} // namespace tessary
