#include "tools/LiveAccessibility.h"

#include "platform/atspi/AccessibilityEnabling.h"
#include "platform/session/SessionAccessibility.h"
#include "tools/InspectCommand.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace tessary::inspect {

std::unique_ptr<AtspiAccessibility> openLiveAccessibility(const QString& offHint)
{
    if (const QString problem = sessionProblem(); !problem.isEmpty()) {
        printError(problem);
        return nullptr;
    }
    if (!AccessibilityEnabling::isEnabled())
        printError(QStringLiteral("accessibility is off (org.a11y.Status.IsEnabled is false): ") + offHint);
    auto accessibility = makeSessionAccessibility();
    if (!accessibility->available()) {
        printError(QStringLiteral("no accessibility bus: is a D-Bus session running?"));
        return nullptr;
    }
    if (const QString missing = settleSession(); !missing.isEmpty()) {
        printError(missing);
        return nullptr;
    }
    waitUntilKnown(accessibility->frontmost());
    return accessibility;
}

void waitUntilKnown(Frontmost& frontmost)
{
    // KWin runs the script that reports the window in front a good tenth of a second after start.
    QDeadlineTimer deadline(std::chrono::seconds(2));
    while (!frontmost.known() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

} // namespace tessary::inspect
