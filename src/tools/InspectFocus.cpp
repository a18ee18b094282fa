// tessary-inspect focus [--watch]: classifies the element that has the keyboard focus right now, or
// on every focus change (polled every 0.4 s like the focus loop), with the output of `field`.

#include "common/Clock.h"
#include "screen/FrameWait.h"
#include "tools/FieldReport.h"
#include "tools/InspectCommand.h"
#include "tools/LiveAccessibility.h"

#include <QCoro/QCoroTask>

namespace tessary::inspect {

namespace {

QCoro::Task<> printClassification(Accessibility& accessibility, Clock& clock, std::optional<Element> focus)
{
    if (focus)
        co_await waitForFrame(accessibility, clock, *focus);
    printLine(focus ? fieldReport(accessibility, *focus) : QStringLiteral("null"));
}

// Like the focus loop: read the focus every tick, classify only when it changed. Runs until killed.
QCoro::Task<> watchFocus(Accessibility& accessibility, Clock& clock)
{
    const Timings timings;
    QString lastIdentity = QStringLiteral("-");
    for (;;) {
        const std::optional<Element> focus = accessibility.focusedElement();
        const QString identity = focus ? focus->identity() : QString();
        if (identity != lastIdentity) {
            lastIdentity = identity;
            co_await printClassification(accessibility, clock, focus);
        }
        co_await clock.sleep(timings.focusTick);
    }
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
    SystemClock clock;
    if (parsed.options.contains(QStringLiteral("--watch")))
        QCoro::waitFor(watchFocus(accessibility, clock));
    else
        QCoro::waitFor(printClassification(accessibility, clock, accessibility.focusedElement()));
    return exitOk;
}

const bool focusRegistered =
    registerCommand({.name = QStringLiteral("focus"),
                     .usage = QStringLiteral("[--watch]"),
                     .description = QStringLiteral("the live focused element, classified as field does"),
                     .example = QStringLiteral("tessary-inspect focus --watch"),
                     .group = QStringLiteral("screen"),
                     .needs = Needs::core,
                     .run = runFocus});

} // namespace

} // namespace tessary::inspect
