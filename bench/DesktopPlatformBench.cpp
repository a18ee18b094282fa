// The live cost of the platform layer, run under scripts/desktop-session (see
// scripts/bench-desktop): for a browser (TESSARY_TEST_BROWSER) on a served test page,
//  - focusedElement: µs per call (p50, p95) while a code field has the focus;
//  - CodeField.detect on that field: ms per call (p50, p95) and accessibility calls per call;
//  - the idle cost of the focus loop: CPU used by calling focusedElement every 0.4 s for 60 s.
// Prints one JSON object. Not a test: the figures go into the README.

#include "common/Timings.h"
#include "desktop/screen/DesktopDriver.h"
#include "desktop/screen/PageServer.h"
#include "platform/session/SessionAccessibility.h"
#include "platform/x11/EwmhFrontmost.h"
#include "screen/CodeField.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

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

    Role role(const Element& e) override { return counted(&ElementTree::role, e); }
    QString inputType(const Element& e) override { return counted(&ElementTree::inputType, e); }
    std::optional<QString> name(const Element& e) override { return counted(&ElementTree::name, e); }
    std::optional<QString> description(const Element& e) override
    {
        return counted(&ElementTree::description, e);
    }
    std::optional<QString> helpText(const Element& e) override { return counted(&ElementTree::helpText, e); }
    std::optional<QString> placeholder(const Element& e) override
    {
        return counted(&ElementTree::placeholder, e);
    }
    std::optional<QString> accessibleId(const Element& e) override
    {
        return counted(&ElementTree::accessibleId, e);
    }
    std::optional<QString> domId(const Element& e) override { return counted(&ElementTree::domId, e); }
    QStringList domClasses(const Element& e) override { return counted(&ElementTree::domClasses, e); }
    std::optional<QString> text(const Element& e) override { return counted(&ElementTree::text, e); }
    std::optional<QString> documentUrl(const Element& e) override
    {
        return counted(&ElementTree::documentUrl, e);
    }
    std::optional<Element> labelledBy(const Element& e) override
    {
        return counted(&ElementTree::labelledBy, e);
    }
    std::optional<Element> parent(const Element& e) override { return counted(&ElementTree::parent, e); }
    QList<Element> children(const Element& e) override { return counted(&ElementTree::children, e); }
    std::optional<Rect> screenFrame(const Element& e) override
    {
        return counted(&ElementTree::screenFrame, e);
    }
    std::optional<Element> focusedWindow(const Element& e) override
    {
        ++calls;
        return m_inner.focusedWindow(e);
    }
    quint64 documentLoads() override { return m_inner.documentLoads(); }
    bool framePending(const Element& e) override { return counted(&ElementTree::framePending, e); }
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
    void checkTrusted(std::function<void(bool)> answer) override { m_inner.checkTrusted(std::move(answer)); }

private:
    template <class Result>
    Result counted(Result (ElementTree::*read)(const Element&), const Element& e)
    {
        ++calls;
        return (m_inner.*read)(e);
    }

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

// CPU seconds used so far by a process and all its descendants (a browser's content processes).
double processTreeCpuSeconds(qint64 root)
{
    QHash<qint64, qint64> parentOf;
    QHash<qint64, double> cpuOf;
    const double ticks = double(sysconf(_SC_CLK_TCK));
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // Fields after the parenthesised command name: state ppid ... utime(12th) stime(13th).
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 13)
            continue;
        parentOf.insert(pid, fields.at(1).toLongLong());
        cpuOf.insert(pid, (fields.at(11).toDouble() + fields.at(12).toDouble()) / ticks);
    }
    double total = 0;
    for (auto it = cpuOf.cbegin(); it != cpuOf.cend(); ++it) {
        for (qint64 pid = it.key(); pid > 1; pid = parentOf.value(pid)) {
            if (pid == root) {
                total += it.value();
                break;
            }
        }
    }
    return total;
}

// Waits until the browser has been at rest (under 3 % of one core) for a whole second: a freshly
// started browser keeps its main thread busy for a while, and that is not the cost of our reads.
void waitForRest(qint64 browserPid, std::chrono::seconds timeout)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < std::chrono::milliseconds(timeout).count()) {
        const double before = processTreeCpuSeconds(browserPid);
        settle(1s);
        if (processTreeCpuSeconds(browserPid) - before < 0.03)
            return;
    }
}

struct Detections {
    std::vector<double> millis;
    int calls = 0;
};

// One CodeField.detect, timed, with the reads it made; whether it found the code field.
bool detectOnce(CountingAccessibility& counting, const Element& field, Detections& into)
{
    counting.calls = 0;
    QElapsedTimer timer;
    timer.start();
    const bool found = CodeField::detect(counting, field).has_value();
    into.millis.push_back(double(timer.nsecsElapsed()) / 1e6);
    into.calls = std::max(into.calls, counting.calls);
    return found;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    PageServer server(QStringLiteral(TESSARY_TEST_PAGES));
    std::unique_ptr<AtspiAccessibility> liveAccessibility = makeSessionAccessibility();
    AtspiAccessibility& accessibility = *liveAccessibility;
    Browser browser(Browser::fromEnvironment(), server.url(QStringLiteral("single-code.html")));

    std::optional<Element> field;
    waitUntil(
        [&] {
            const std::optional<Element> app = accessibility.applicationElement(browser.pid());
            const std::optional<Element> window = app ? accessibility.focusedWindow(*app) : std::nullopt;
            field = window ? findElement(accessibility, *window, &ElementTree::domId, QStringLiteral("entry"))
                           : std::nullopt;
            return field && accessibility.screenFrame(*field);
        },
        60s);
    waitForRest(browser.pid(), 120s);
    const std::optional<Rect> fieldFrame = field ? accessibility.screenFrame(*field) : std::nullopt;
    if (!fieldFrame || !clickAt(*fieldFrame) ||
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

    // Detection again and again on the same field: libatspi keeps what it learned of each node
    // (role, interfaces, states), so this is the cost of the reads it cannot keep.
    CountingAccessibility counting(accessibility);
    Detections warm;
    for (int i = 0; i < 200; ++i)
        detectOnce(counting, *field, warm);

    // Detection as the focus loop meets it: the page freshly loaded, the field just clicked,
    // nothing of it known yet.
    Detections cold;
    int coldAccepted = 0;
    for (int round = 0; round < 20; ++round) {
        const std::optional<Element> clicked = accessibility.focusedElement();
        if (!xdotool({QStringLiteral("key"), QStringLiteral("F5")}) ||
            !waitUntil([&] { return accessibility.focusedElement() != clicked; }, 15s))
            break;
        waitForRest(browser.pid(), 15s);
        const std::optional<Element> beforeClick = accessibility.focusedElement();
        std::optional<Element> focused;
        if (!clickAt(*fieldFrame) || !waitUntil(
                                         [&] {
                                             focused = accessibility.focusedElement();
                                             return focused && focused != beforeClick;
                                         },
                                         10s))
            break;
        coldAccepted += detectOnce(counting, *focused, cold) ? 1 : 0;
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
        {QStringLiteral("detectWarmMillisP50"), percentile(warm.millis, 0.5)},
        {QStringLiteral("detectWarmMillisP95"), percentile(warm.millis, 0.95)},
        {QStringLiteral("detectWarmCalls"), warm.calls},
        {QStringLiteral("detectColdMillisP50"), percentile(cold.millis, 0.5)},
        {QStringLiteral("detectColdMillisP95"), percentile(cold.millis, 0.95)},
        {QStringLiteral("detectColdMillisMax"), percentile(cold.millis, 1)},
        {QStringLiteral("detectColdCalls"), cold.calls},
        {QStringLiteral("detectColdRounds"), int(cold.millis.size())},
        {QStringLiteral("detectColdAccepted"), coldAccepted},
        {QStringLiteral("idleLoopCpuPercentOfOneCore"), idleCpuPercent},
    };
    std::printf("%s\n", QJsonDocument(report).toJson(QJsonDocument::Compact).constData());
    return 0;
}
