// The live engine's figures, run under scripts/desktop-session (see scripts/bench-engine): for a
// browser (TESSARY_TEST_BROWSER) at rest on a served test page,
//  - a tick of the real controller with the focus unchanged: ms per tick (p50, p95, max) over 60 s,
//    on the live accessibility; apart, the ticks that also read the page for a link (every third);
//  - from the ids reply that carries a new id to the code on the chip (the real chip panel placed
//    under the field): ms per round (p50, p95), the backend answering at once so that none of its
//    time is counted;
//  - `tessary-inspect engine --no-type` idle beside the browser for 60 s: its CPU, % of one core.
// Prints one JSON object. Not a test: the figures go into the README.

#include "desktop/engine/MailboxBackend.h"
#include "desktop/screen/DesktopDriver.h"
#include "desktop/screen/PageServer.h"
#include "engine/Controller.h"
#include "fakes/FakeBackendApi.h"
#include "fakes/FakeClock.h"
#include "fakes/FakeEngineSeams.h"
#include "fakes/FakeHotKey.h"
#include "fakes/FakeKeyboard.h"
#include "fakes/FakeLoginItem.h"
#include "fakes/FakeSettingsStore.h"
#include "platform/atspi/Frontmost.h"
#include "platform/session/SessionAccessibility.h"
#include "platform/session/SessionDevices.h"
#include "state/AppState.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tessary;
using namespace tessary::test;
using namespace std::chrono_literals;

namespace {

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[size_t(fraction * double(values.size() - 1))];
}

// CPU seconds a process has used so far, from /proc/PID/stat (utime and stime).
double processCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// The session's real chip (a window on X11, a layer surface on sway), noting when it was last placed.
class TimedChip final : public ChipSurface {
public:
    explicit TimedChip(ChipSurface& panel)
        : m_panel(panel)
    {
    }
    ChipModel& model() override { return m_panel.model(); }
    void place(std::optional<Rect> target) override
    {
        m_panel.place(target);
        placed.start();
    }
    void hide() override { m_panel.hide(); }
    bool isVisible() const override { return m_panel.isVisible(); }

    QElapsedTimer placed;

private:
    ChipSurface& m_panel;
};

// Everything the controller drives except the screen is a fake: what is measured is the engine's
// own work on the live desktop, not a backend's or a keyboard's.
struct LiveEngine {
    explicit LiveEngine(Accessibility& live)
        : accessibility(live)
        , keyboard(typingClock)
    {
        settings.values.insert("email", "me@example.com");
        backend.messagesScript.replies = {QList<Message>{}};
        backend.messageIdsScript.replies = {QSet<QString>{}};
    }
    void make(Timings timings)
    {
        state =
            std::make_unique<AppState>(AppStateServices{settings, accessibility, loginItem, backend, clock});
        controller = std::make_unique<Controller>(ControllerServices{
            *state, accessibility, keyboard, backend, clock, chip, hotKey, clipboard, links, timings});
    }

    Accessibility& accessibility;
    SystemClock clock;
    FakeClock typingClock; // nothing is typed: no round fills
    FakeSettingsStore settings;
    FakeKeyboard keyboard;
    FakeLoginItem loginItem;
    FakeBackendApi backend;
    SessionDevices devices{typingClock};
    TimedChip chip{devices.chip()};
    FakeHotKey hotKey;
    FakeClipboard clipboard;
    FakeLinkOpener links;
    std::unique_ptr<AppState> state;
    std::unique_ptr<Controller> controller;
};

struct Ticks {
    std::vector<double> focusOnly; // the focus read and compared, nothing else
    std::vector<double> withPage;  // every third tick also reads the page, looking for a link page
};

// Ticks of the controller, every focus tick for 60 s, with the focus in a field that is not a
// code field: the loop's everyday state in a browser.
Ticks tickMillis(AtspiAccessibility& accessibility)
{
    LiveEngine engine(accessibility);
    engine.make({});
    std::vector<double> millis;
    QElapsedTimer running;
    running.start();
    while (running.elapsed() < 60'000) {
        QElapsedTimer timer;
        timer.start();
        QCoro::waitFor(engine.controller->tick());
        millis.push_back(double(timer.nsecsElapsed()) / 1e6);
        settle(Timings{}.focusTick);
    }
    Ticks ticks;
    // The first tick classifies the field; the controller reads the page on its 3rd, 6th, ... tick.
    for (size_t i = 1; i < millis.size(); ++i)
        ((i + 1) % 3 == 0 ? ticks.withPage : ticks.focusOnly).push_back(millis[i]);
    return ticks;
}

// Rounds of: the field gets a burst; the second ids reply carries a new id; the code reaches the
// chip. Measured from that reply to the chip placed with the code.
std::vector<double> idsToChipMillis(AtspiAccessibility& accessibility, const Element& field)
{
    LiveEngine engine(accessibility);
    Timings timings;
    timings.idsPass = 20ms;
    engine.make(timings);
    const std::optional<CodeField> codeField = CodeField::detect(accessibility, field);
    std::vector<double> millis;
    for (int round = 0; codeField && round < 40; ++round) {
        const QString id = QStringLiteral("m%1").arg(round);
        const Message mail{id,
                           QStringLiteral("Your verification code"),
                           QStringLiteral("Team <no-reply@mailer.example.com>"),
                           QStringLiteral("Your verification code is %1.").arg(300000 + round),
                           QDateTime::currentDateTimeUtc().toString(Qt::ISODate),
                           {}};
        FakeBackendApi& backend = engine.backend;
        backend.messagesScript.calls = 0;
        backend.messagesScript.replies = {QList<Message>{}, QList<Message>{mail}};
        backend.messageIdsScript.calls = 0;
        backend.messageIdsScript.replies = {QSet<QString>{}, QSet<QString>{id}};
        // The fake answers as it is called: the second call's reply is on its way back from here.
        QElapsedTimer sinceReply;
        backend.messageIdsScript.onCall = [&](int call) {
            if (call == 2)
                sinceReply.start();
        };
        engine.controller->codes().handleField(*codeField);
        if (!waitUntil([&] { return std::holds_alternative<ChipModel::Found>(engine.chip.model().state()); },
                       5s))
            break;
        millis.push_back(double(sinceReply.nsecsElapsed() - engine.chip.placed.nsecsElapsed()) / 1e6);
        engine.controller->dismiss();
        settle(50ms);
    }
    return millis;
}

// `tessary-inspect engine --no-type` beside the browser for 60 s: its CPU once it has started.
double inspectIdleCpuPercent()
{
    MailboxBackend backend;
    QProcess inspect;
    inspect.start(QStringLiteral(TESSARY_INSPECT), {QStringLiteral("engine"), QStringLiteral("--backend"),
                                                    backend.url(), QStringLiteral("--no-type")});
    if (!inspect.waitForStarted(10000))
        return -1;
    settle(3s); // its start-up: libraries, the inbox list, the first read of the browser
    const double before = processCpuSeconds(inspect.processId());
    QElapsedTimer idle;
    idle.start();
    settle(60s);
    const double percent =
        (processCpuSeconds(inspect.processId()) - before) / (double(idle.elapsed()) / 1000) * 100;
    inspect.terminate();
    inspect.waitForFinished(5000);
    return percent;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // As in the engine's desktop tests: without an unlocked keyring the Secret Service's prompt
    // would take the active window from the browser once tessary-inspect asks for its token.
    unlockKeyring();
    PageServer server(QStringLiteral(TESSARY_TEST_PAGES));
    std::unique_ptr<AtspiAccessibility> liveAccessibility = makeSessionAccessibility();
    AtspiAccessibility& accessibility = *liveAccessibility;
    Browser browser(Browser::fromEnvironment(), server.url(QStringLiteral("typing.html")));
    settle(20s); // a browser that has just started keeps its main thread busy for a while

    const std::optional<Element> typing =
        openPage(accessibility, browser, server.url(QStringLiteral("typing.html")));
    const std::optional<Clicked> free =
        typing ? focusById(accessibility, *typing, QStringLiteral("free")) : std::nullopt;
    if (!free) {
        std::fprintf(stderr, "the test page's field could not be focused\n");
        return 1;
    }
    const Ticks ticks = tickMillis(accessibility);
    const double idleCpu = inspectIdleCpuPercent();

    const std::optional<Element> codePage =
        openPage(accessibility, browser, server.url(QStringLiteral("single-code.html")));
    settle(5s);
    const std::optional<Clicked> code =
        codePage ? focusById(accessibility, *codePage, QStringLiteral("entry")) : std::nullopt;
    const std::vector<double> idsToChip =
        code ? idsToChipMillis(accessibility, code->element) : std::vector<double>{};

    const QJsonObject report{
        {QStringLiteral("browser"), browser.desktopId()},
        {QStringLiteral("focusTickMillisP50"), percentile(ticks.focusOnly, 0.5)},
        {QStringLiteral("focusTickMillisP95"), percentile(ticks.focusOnly, 0.95)},
        {QStringLiteral("focusTickMillisMax"), percentile(ticks.focusOnly, 1)},
        {QStringLiteral("pageTickMillisP50"), percentile(ticks.withPage, 0.5)},
        {QStringLiteral("pageTickMillisP95"), percentile(ticks.withPage, 0.95)},
        {QStringLiteral("pageTickMillisMax"), percentile(ticks.withPage, 1)},
        {QStringLiteral("ticks"), int(ticks.focusOnly.size() + ticks.withPage.size())},
        {QStringLiteral("idsToChipMillisP50"), percentile(idsToChip, 0.5)},
        {QStringLiteral("idsToChipMillisP95"), percentile(idsToChip, 0.95)},
        {QStringLiteral("idsToChipRounds"), int(idsToChip.size())},
        {QStringLiteral("inspectIdleCpuPercentOfOneCore"), idleCpu},
    };
    std::printf("%s\n", QJsonDocument(report).toJson(QJsonDocument::Compact).constData());
    return 0;
}
