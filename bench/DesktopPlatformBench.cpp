// The live cost of the platform layer, run under scripts/desktop-session (see
// scripts/bench-desktop): for a browser (TESSARY_TEST_BROWSER) on a served test page,
//  - focusedElement: µs per call (p50, p95) while a code field has the focus;
//  - CodeField.detect on that field: ms per call (p50, p95) and accessibility calls per call;
//  - the idle cost of the focus loop: CPU used by calling focusedElement every 0.4 s for 60 s.
// Prints one JSON object. Not a test: the figures go into the README.

#include "desktop/screen/DesktopDriver.h"
#include "desktop/screen/PageServer.h"
#include "engine/Timings.h"
#include "platform/linux/AtspiAccessibility.h"
#include "screen/CodeField.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tessary;
using namespace tessary::test;
using namespace std::chrono_literals;

namespace {

// Counts every call into the accessibility seam: each is at most one D-Bus round trip.
class CountingAccessibility final : public Accessibility {
public:
    explicit CountingAccessibility(Accessibility& inner)
        : m_inner(inner)
    {
    }
    int calls = 0;

    std::optional<QString> stringAttribute(const Element& e, const QString& a) override
    {
        ++calls;
        return m_inner.stringAttribute(e, a);
    }
    QStringList stringListAttribute(const Element& e, const QString& a) override
    {
        ++calls;
        return m_inner.stringListAttribute(e, a);
    }
    std::optional<Element> elementAttribute(const Element& e, const QString& a) override
    {
        ++calls;
        return m_inner.elementAttribute(e, a);
    }
    QList<Element> children(const Element& e) override
    {
        ++calls;
        return m_inner.children(e);
    }
    std::optional<Rect> screenFrame(const Element& e) override
    {
        ++calls;
        return m_inner.screenFrame(e);
    }
    std::optional<Element> focusedElement() override { return m_inner.focusedElement(); }
    std::optional<RunningApplication> frontmostApplication() override
    {
        return m_inner.frontmostApplication();
    }
    std::optional<Element> applicationElement(qint64 pid) override { return m_inner.applicationElement(pid); }
    qint64 processId(const Element& e) override { return m_inner.processId(e); }
    void setFocused(const Element& e) override { m_inner.setFocused(e); }
    void prepareAccessibility(const RunningApplication& a) override { m_inner.prepareAccessibility(a); }
    bool isTrusted() override { return m_inner.isTrusted(); }

private:
    Accessibility& m_inner;
};

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[size_t(fraction * double(values.size() - 1))];
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    PageServer server(QStringLiteral(TESSARY_TEST_PAGES));
    AtspiAccessibility accessibility;
    Browser browser(Browser::fromEnvironment(), server.url(QStringLiteral("single-code.html")));

    std::optional<Element> field;
    waitUntil(
        [&] {
            const std::optional<Element> app = accessibility.applicationElement(browser.pid());
            const std::optional<Element> window =
                app ? accessibility.elementAttribute(*app, QStringLiteral("AXFocusedWindow")) : std::nullopt;
            field = window ? findElement(accessibility, *window, QStringLiteral("AXDOMIdentifier"),
                                         QStringLiteral("entry"))
                           : std::nullopt;
            return field && accessibility.screenFrame(*field);
        },
        60s);
    if (!field || !clickAt(*accessibility.screenFrame(*field), EwmhFrontmost().screenHeight()) ||
        !waitUntil([&] { return accessibility.focusedElement() == field; }, 10s)) {
        std::fprintf(stderr, "the code field of the test page could not be focused\n");
        return 1;
    }

    std::vector<double> focusMicros;
    for (int i = 0; i < 500; ++i) {
        QElapsedTimer timer;
        timer.start();
        accessibility.focusedElement();
        focusMicros.push_back(double(timer.nsecsElapsed()) / 1e3);
    }

    // Its parts: the window manager's answer, and the application element of that process.
    EwmhFrontmost frontmost;
    std::vector<double> pidMicros;
    std::vector<double> applicationMicros;
    for (int i = 0; i < 500; ++i) {
        QElapsedTimer timer;
        timer.start();
        const qint64 pid = frontmost.pid();
        pidMicros.push_back(double(timer.nsecsElapsed()) / 1e3);
        timer.restart();
        accessibility.applicationElement(pid);
        applicationMicros.push_back(double(timer.nsecsElapsed()) / 1e3);
    }

    CountingAccessibility counting(accessibility);
    std::vector<double> detectMillis;
    for (int i = 0; i < 50; ++i) {
        counting.calls = 0;
        QElapsedTimer timer;
        timer.start();
        CodeField::detect(counting, *field);
        detectMillis.push_back(double(timer.nsecsElapsed()) / 1e6);
    }

    // The focus loop at rest: a 0.4 s timer in Qt's event loop, AT-SPI events delivered in between.
    const double cpuBefore = cpuSeconds();
    QElapsedTimer idle;
    idle.start();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { accessibility.focusedElement(); });
    tick.start(Timings{}.focusTick);
    QTimer::singleShot(60s, &application, &QCoreApplication::quit);
    QCoreApplication::exec();
    const double idleCpuPercent = (cpuSeconds() - cpuBefore) / (double(idle.elapsed()) / 1000) * 100;

    const QJsonObject report{
        {QStringLiteral("browser"), browser.desktopId()},
        {QStringLiteral("focusedElementMicrosP50"), percentile(focusMicros, 0.5)},
        {QStringLiteral("focusedElementMicrosP95"), percentile(focusMicros, 0.95)},
        {QStringLiteral("frontmostPidMicrosP95"), percentile(pidMicros, 0.95)},
        {QStringLiteral("applicationElementMicrosP95"), percentile(applicationMicros, 0.95)},
        {QStringLiteral("detectMillisP50"), percentile(detectMillis, 0.5)},
        {QStringLiteral("detectMillisP95"), percentile(detectMillis, 0.95)},
        {QStringLiteral("detectAccessibilityCalls"), counting.calls},
        {QStringLiteral("idleLoopCpuPercentOfOneCore"), idleCpuPercent},
    };
    std::printf("%s\n", QJsonDocument(report).toJson(QJsonDocument::Compact).constData());
    return 0;
}
