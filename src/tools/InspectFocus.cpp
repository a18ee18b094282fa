// tessary-inspect focus [--watch]: classifies the element that has the keyboard focus right now, or
// on every focus change (polled every 0.4 s like the focus loop), with the output of `field`.

#include "engine/Timings.h"
#include "tools/FieldReport.h"
#include "tools/InspectCommand.h"
#include "tools/LiveAccessibility.h"

#include <QCoreApplication>
#include <QTimer>

namespace tessary::inspect {

namespace {

void printClassification(Accessibility& accessibility, const std::optional<Element>& focus)
{
    printLine(focus ? fieldReport(accessibility, *focus) : QStringLiteral("null"));
}

int runFocus(const QStringList& arguments)
{
    const ParsedArguments parsed = parseArguments(arguments, {}, {QStringLiteral("--watch")});
    if (!parsed.error.isEmpty() || !parsed.positional.isEmpty()) {
        printError(parsed.error.isEmpty() ? QStringLiteral("usage: focus [--watch]") : parsed.error);
        return exitBadInput;
    }
    const auto live = openLiveAccessibility(
        QStringLiteral("run \"tessary-inspect status\" and restart the application you inspect"));
    if (!live)
        return exitFailure;
    AtspiAccessibility& accessibility = *live;
    if (!parsed.options.contains(QStringLiteral("--watch"))) {
        printClassification(accessibility, accessibility.focusedElement());
        return exitOk;
    }
    // Like the focus loop: read the focus every tick, classify only when it changed.
    QString lastIdentity = QStringLiteral("-");
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const std::optional<Element> focus = accessibility.focusedElement();
        const QString identity = focus ? focus->identity() : QString();
        if (identity == lastIdentity)
            return;
        lastIdentity = identity;
        printClassification(accessibility, focus);
    });
    tick.start(Timings{}.focusTick);
    return QCoreApplication::exec();
}

const bool registered = registerCommand({QStringLiteral("focus"),
                                         QStringLiteral("[--watch]                                 "
                                                        "classify the live focused element (as field)"),
                                         Needs::core, runFocus});

} // namespace

} // namespace tessary::inspect
