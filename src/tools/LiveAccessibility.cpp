#include "tools/LiveAccessibility.h"

#include "platform/atspi/AccessibilityEnabling.h"
#include "platform/session/SessionAccessibility.h"
#include "tools/InspectCommand.h"

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
    return accessibility;
}

} // namespace tessary::inspect
