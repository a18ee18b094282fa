// tessary-inspect type TEXT [--delay S]: waits S seconds (3 by default: time to click into a
// field), then types TEXT into whatever has the focus, the way a code is filled.

#include "common/Clock.h"
#include "platform/session/DesktopSession.h"
#include "platform/session/SessionAccessibility.h"
#include "platform/session/SessionDevices.h"
#include "screen/TypeCode.h"
#include "tools/InspectCommand.h"

#include <QCoro/QCoroTask>

namespace tessary::inspect {

namespace {

// On Wayland the seat loses our keyboard when this process ends, and the application the focus
// with it: Firefox then drops a last key it has not handled yet (in most runs when that key is
// ASCII). The application's own keyboard lives as long as it does; this command's must linger.
constexpr std::chrono::milliseconds waylandLinger{300};

// The character the keyboard cannot type, when that stopped it.
QCoro::Task<std::optional<QString>> delayThenType(Clock& clock, Accessibility& accessibility,
                                                  Keyboard& keyboard, QString text,
                                                  std::chrono::milliseconds delay,
                                                  std::chrono::milliseconds linger)
{
    co_await clock.sleep(delay);
    const std::optional<QString> untypable = co_await typeCode(accessibility, keyboard, clock, text);
    co_await clock.sleep(linger);
    co_return untypable;
}

int runType(const QStringList& arguments)
{
    const ParsedArguments parsed = parseArguments(arguments, {QStringLiteral("--delay")});
    const std::optional<double> delay = timeOption(parsed, QStringLiteral("--delay"), 3);
    if (!parsed.error.isEmpty() || parsed.positional.size() != 1 || !delay) {
        printError(parsed.error.isEmpty() ? QStringLiteral("usage: type TEXT [--delay SECONDS]")
                                          : parsed.error);
        return exitBadInput;
    }
    const DesktopSession::Kind session = DesktopSession::current();
    const bool wayland = DesktopSession::isWayland(session);
    // On Wayland whether we can type is the compositor's answer, not the session's.
    if (const QString problem = sessionProblem(); !problem.isEmpty() && !wayland) {
        printError(problem);
        return exitFailure;
    }
    SystemClock clock;
    SessionDevices devices(clock);
    if (const QString missing = settleSession(); !missing.isEmpty()) {
        printError(missing);
        return exitFailure;
    }
    if (!devices.typingProblem().isEmpty()) {
        printError(devices.typingProblem());
        return exitFailure;
    }
    // Typing works without accessibility; only the row-of-boxes probe needs to see the focus.
    const std::unique_ptr<AtspiAccessibility> accessibility = makeSessionAccessibility();
    const std::optional<QString> untypable = QCoro::waitFor(
        delayThenType(clock, *accessibility, devices.keyboard(), parsed.positional.constFirst(),
                      std::chrono::milliseconds(qint64(*delay * 1000)),
                      wayland ? waylandLinger : std::chrono::milliseconds(0)));
    if (untypable) {
        printError(
            QStringLiteral("the keyboard layout has no \u201c%1\u201d: nothing was typed").arg(*untypable));
        return exitFailure;
    }
    if (const QString untyped = devices.keyboard().takeUntyped(); !untyped.isEmpty()) {
        printError(QStringLiteral("could not type \"%1\": the keyboard layout has no key for it and the "
                                  "focus takes no input-method text")
                       .arg(untyped));
        return exitFailure;
    }
    return exitOk;
}

const bool typeRegistered =
    registerCommand({.name = QStringLiteral("type"),
                     .usage = QStringLiteral("TEXT [--delay S]"),
                     .description = QStringLiteral("types TEXT into the focus after S seconds (3)"),
                     .example = QStringLiteral("tessary-inspect type 482913 --delay 5"),
                     .group = QStringLiteral("screen"),
                     .needs = Needs::core,
                     .run = runType});

} // namespace

} // namespace tessary::inspect
