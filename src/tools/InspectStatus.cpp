// tessary-inspect status: whether this session lets Tessary work (accessibility on, X11, XTest) and
// which application is in front, with a sentence on stderr for whatever is missing.

#include "platform/linux/AccessibilityEnabling.h"
#include "platform/linux/EwmhFrontmost.h"
#include "tools/InspectCommand.h"
#include "tools/JsonLine.h"

#include <QJsonObject>

namespace tessary::inspect {

namespace {

QString sessionName(AccessibilityEnabling::Session session)
{
    switch (session) {
    case AccessibilityEnabling::Session::x11:
        return QStringLiteral("x11");
    case AccessibilityEnabling::Session::wayland:
        return QStringLiteral("wayland");
    case AccessibilityEnabling::Session::none:
        break;
    }
    return QStringLiteral("none");
}

int runStatus(const QStringList& arguments)
{
    if (!arguments.isEmpty()) {
        printError(QStringLiteral("usage: status"));
        return exitBadInput;
    }
    const AccessibilityEnabling::Session session = AccessibilityEnabling::session();
    const bool x11 = session == AccessibilityEnabling::Session::x11;
    const bool enabled = AccessibilityEnabling::isEnabled();
    const bool xtest = x11 && AccessibilityEnabling::hasXTest();
    std::optional<RunningApplication> front;
    if (x11)
        front = EwmhFrontmost().application();

    QJsonValue frontmost;
    if (front)
        frontmost = QJsonObject{{QStringLiteral("bundleId"), front->bundleIdentifier},
                                {QStringLiteral("pid"), front->pid},
                                {QStringLiteral("appPath"), front->bundleURL}};
    printLine(jsonLine({{"trusted", enabled && x11 && xtest},
                        {"accessibilityEnabled", enabled},
                        {"session", sessionName(session)},
                        {"xtest", xtest},
                        {"frontmost", frontmost}}));

    if (const QString problem = AccessibilityEnabling::sessionProblem(); !problem.isEmpty())
        printError(problem);
    if (!enabled)
        printError(
            QStringLiteral("accessibility is off: org.a11y.Status.IsEnabled is false on the session bus "
                           "(the app turns it on; applications started before that must be restarted)"));
    if (x11 && !xtest)
        printError(QStringLiteral("the X server has no XTest extension: codes cannot be typed"));
    if (x11 && !front)
        printError(QStringLiteral("no frontmost application: the window manager sets no _NET_ACTIVE_WINDOW"));
    return enabled && x11 && xtest ? exitOk : exitFailure;
}

const bool registered =
    registerCommand({.name = QStringLiteral("status"),
                     .usage = QStringLiteral(""),
                     .description = QStringLiteral("accessibility, X11 and the frontmost application"),
                     .example = QStringLiteral("tessary-inspect status"),
                     .group = QStringLiteral("screen"),
                     .needs = Needs::core,
                     .run = runStatus});

} // namespace

} // namespace tessary::inspect
