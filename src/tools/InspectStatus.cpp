// tessary-inspect status: whether this session lets Tessary work (accessibility on, X11, XTest), which
// kind of session it is (x11, sway, kwin, other wayland) and which application is in front, with a
// sentence on stderr for whatever is missing; and which phones send their text messages.

#include "common/Clock.h"
#include "platform/atspi/AccessibilityEnabling.h"
#include "platform/session/DesktopSession.h"
#include "platform/session/SessionAccessibility.h"
#include "platform/session/SessionDevices.h"
#include "tools/InspectCommand.h"
#include "tools/JsonLine.h"
#include "tools/LiveAccessibility.h"
#include "tools/SmsReport.h"

#include <QDBusConnection>

#include <QJsonArray>
#include <QJsonObject>

namespace tessary::inspect {

namespace {

// The frontmost application and, on Wayland, its window's content area in screen pixels.
struct Front {
    std::optional<RunningApplication> application;
    QJsonValue window;
};

Front frontOf(Frontmost& frontmost)
{
    waitUntilKnown(frontmost);
    Front front{frontmost.application(), {}};
    if (!frontmost.windowRelativeExtents() || !front.application)
        return front;
    if (const auto content = frontmost.windowContent(front.application->pid, {}, {}))
        front.window = QJsonArray{content->x, content->y, content->width, content->height};
    return front;
}

int runStatus(const QStringList& arguments)
{
    if (!arguments.isEmpty()) {
        printError(QStringLiteral("usage: status"));
        return exitBadInput;
    }
    const DesktopSession::Kind session = DesktopSession::current();
    const bool x11 = session == DesktopSession::Kind::x11;
    const bool sway = session == DesktopSession::Kind::sway;
    const bool kwin = session == DesktopSession::Kind::kwin;
    const bool gnome = session == DesktopSession::Kind::gnome;
    // Only meaningful in a GNOME session: whether Tessary's shell extension answers.
    const std::unique_ptr<Frontmost> windows = makeSessionFrontmost();
    const QString gnomeMissing = settleSession();
    const bool enabled = AccessibilityEnabling::isEnabled();
    const bool xtest = x11 && sessionCanType();
    // On sway and KWin codes are typed through a protocol the compositor must offer us.
    SystemClock clock;
    const QString compositorTyping = sway || kwin ? SessionDevices(clock).typingProblem() : QString();
    const bool typing =
        x11 ? xtest : ((sway || kwin) && compositorTyping.isEmpty()) || (gnome && gnomeMissing.isEmpty());
    const Front front = x11 || sway || kwin || gnome ? frontOf(*windows) : Front{};

    SessionSms phones(QDBusConnection::sessionBus(), clock);
    waitForPhones(phones);
    const QJsonObject sms = smsStatus(phones);

    QJsonValue frontmost;
    if (const auto& application = front.application) {
        QJsonObject described{{QStringLiteral("bundleId"), application->appId},
                              {QStringLiteral("pid"), application->pid},
                              {QStringLiteral("appPath"), application->appPath}};
        if (!front.window.isNull())
            described.insert(QStringLiteral("window"), front.window);
        frontmost = described;
    }
    QList<std::pair<QString, QJsonValue>> report{{"trusted", enabled && typing},
                                                 {"accessibilityEnabled", enabled},
                                                 {"session", DesktopSession::name(session)},
                                                 {"xtest", xtest},
                                                 {"frontmost", frontmost}};
    if (gnome)
        report.append({"gnomeExtension", gnomeMissing.isEmpty()});
    report.append({"sms", sms});
    printLine(jsonLine(report));

    // An X display that cannot be opened explains everything else missing from it.
    const QString problem = sessionProblem();
    if (!problem.isEmpty())
        printError(problem);
    if (!QDBusConnection::sessionBus().isConnected())
        printError(QStringLiteral("no D-Bus session bus (DBUS_SESSION_BUS_ADDRESS): accessibility cannot "
                                  "be turned on nor phones reached"));
    else if (!enabled)
        printError(
            QStringLiteral("accessibility is off: org.a11y.Status.IsEnabled is false on the session bus "
                           "(the app turns it on; applications started before that must be restarted)"));
    if (x11 && !xtest && problem.isEmpty())
        printError(QStringLiteral("the X server has no XTest extension: codes cannot be typed"));
    if (x11 && !front.application && problem.isEmpty())
        printError(QStringLiteral("no frontmost application: the window manager sets no _NET_ACTIVE_WINDOW"));
    if (!compositorTyping.isEmpty())
        printError(compositorTyping);
    if (!gnomeMissing.isEmpty())
        printError(gnomeMissing);
    if (gnome && gnomeMissing.isEmpty() && !front.application)
        printError(QStringLiteral("no frontmost application: GNOME Shell reports no focused window"));
    if (sway && !front.application)
        printError(QStringLiteral("no frontmost application: sway reports no focused window"));
    if (kwin && !front.application)
        printError(
            QStringLiteral("no frontmost application: KWin ran no script of ours, or no window is active"));
    return enabled && typing ? exitOk : exitFailure;
}

const bool statusRegistered = registerCommand(
    {.name = QStringLiteral("status"),
     .usage = QStringLiteral(""),
     .description = QStringLiteral(
         "accessibility, the session (X11, sway, KWin, GNOME, Wayland) and the frontmost application"),
     .example = QStringLiteral("tessary-inspect status"),
     .group = QStringLiteral("screen"),
     .needs = Needs::core,
     .run = runStatus});

} // namespace

} // namespace tessary::inspect
