// The engine against a real browser on each rig: `tessary-inspect engine` as a child process against a
// loopback backend of the test's own, read for what it prints, where its chip is and what lands in
// the page. One browser serves every case; each case starts its own engine.

#include "desktop/engine/MailboxBackend.h"
#include "desktop/screen/BrowserSuite.h"
#include "platform/atspi/Frontmost.h"

#include <QProcessEnvironment>

#include <algorithm>

namespace tessary::test {
namespace {

using namespace std::chrono_literals;

const QString otherSender = "Accounts <no-reply@mailer.example.com>";

// `tessary-inspect engine --backend URL` with settings of its own, stopped by its pid.
class EngineProcess {
public:
    explicit EngineProcess(const QString& backendUrl)
    {
        if (onWaylandRig())
            m_screenBefore = desktopRig().screenShot();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Settings of its own: nothing one run remembers (recent codes, the shortcut) reaches the next.
        environment.insert("XDG_CONFIG_HOME", m_config.path());
        m_process.setProcessEnvironment(environment);
        m_process.start(QStringLiteral(TESSARY_INSPECT), {"engine", "--backend", backendUrl});
        m_process.waitForStarted(10000);
    }
    ~EngineProcess() { stopChild(m_process); }
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    qint64 pid() const { return m_process.processId(); }

    std::optional<QJsonObject> waitFor(const std::function<bool(const QJsonObject&)>& matches,
                                       std::chrono::milliseconds timeout)
    {
        return waitForLine(m_process, matches, m_lines, timeout);
    }
    std::optional<QJsonObject> waitForChip(const QString& state, std::chrono::milliseconds timeout)
    {
        return waitFor([&](const QJsonObject& line) { return line.value("chip") == state; }, timeout);
    }
    // Every line read so far and its stderr, for failure messages.
    std::string printed()
    {
        return (m_lines.join(QLatin1Char('\n')) + "\nstderr:\n" +
                QString::fromUtf8(m_process.readAllStandardError()))
            .toStdString();
    }

    // The chip's window when it is mapped. On a Wayland rig the chip is a layer surface, in no window
    // list: it is where the screen differs from the shot taken as the engine started (some 30 pixels
    // high, more than a toolbar icon that changed as a load ended), so a case that looks for it there
    // starts the engine once its page shows and has the focus where it wants it.
    std::optional<QRect> chipWindow() const
    {
        if (onWaylandRig())
            return changedArea(withoutShellBanners(m_screenBefore),
                               withoutShellBanners(desktopRig().screenShot()), 20);
        const QList<ShownWindow> windows = desktopRig().shownWindows(pid());
        return windows.isEmpty() ? std::nullopt : std::optional(windows.first().rect);
    }

private:
    // GNOME's top bar (its clock, the remote-desktop indicator of the test's clicks) and the
    // notification banners under it change on their own; the test pages' chips stand lower.
    static QImage withoutShellBanners(QImage shot)
    {
        if (onGnome() && !shot.isNull()) {
            shot = shot.convertToFormat(QImage::Format_RGB32);
            for (int y = 0; y < std::min(shot.height(), 120); ++y)
                std::fill_n(reinterpret_cast<QRgb*>(shot.scanLine(y)), shot.width(), qRgb(0, 0, 0));
        }
        return shot;
    }

    QImage m_screenBefore;
    QTemporaryDir m_config;
    QProcess m_process;
    QStringList m_lines;
};

class EngineInBrowser : public BrowserSuite {
protected:
    MailboxBackend backend;
};

TEST_F(EngineInBrowser, CodeFieldGetsTheChipUnderItWithoutLosingFocusAndFillTypesTheCode)
{
    EngineProcess engine(backend.url());
    const auto field = focusAfresh("single-code.html", "entry");
    ASSERT_TRUE(field) << engine.printed();
    ASSERT_TRUE(engine.waitForChip("searching", 10s)) << engine.printed();

    // The chip's top-left corner sits 4 points under the field's bottom-left one; the browser
    // keeps the active window and its field the focus. On Wayland the chip is no window: the click on
    // its Fill button below, where it must stand, shows that it does.
    const Rect& frame = field->frame;
    const int fieldBottom = frame.y + frame.height;
    std::optional<QRect> chip;
    EXPECT_TRUE(onWaylandRig() || waitUntil([&] { return (chip = engine.chipWindow()).has_value(); }, 5s));
    if (chip) {
        EXPECT_NEAR(chip->left(), frame.x, 1);
        EXPECT_NEAR(chip->top(), fieldBottom + 4, 1);
    }
    const std::optional<RunningApplication> front = accessibility->frontmostApplication();
    EXPECT_TRUE(front && front->pid == browser->pid());
    EXPECT_EQ(accessibility->focusedElement(), field->element);

    // The mail arrives while the engine polls: a sender other than the site is offered, not typed.
    // Not before its first ids reply: the burst takes that reply as the mail it already knows.
    ASSERT_TRUE(waitUntil([&] { return backend.requestsTo("v1/messages/ids") > 0; }, 10s));
    backend.deliver(otherSender, "Your code", "Your verification code is 482913.");
    const std::optional<QJsonObject> found = engine.waitForChip("found", 10s);
    ASSERT_TRUE(found) << engine.printed();
    EXPECT_EQ(found->value("code").toString(), "482913");
    EXPECT_EQ(accessibility->focusedElement(), field->element);

    ASSERT_TRUE(clickChipButton(*accessibility, engine.pid(), "Fill", QPoint(frame.x, fieldBottom + 4)));
    EXPECT_TRUE(engine.waitFor([](const QJsonObject& line) { return line.value("typed") == "482913"; }, 10s))
        << engine.printed();
    EXPECT_TRUE(holds(field->element, "482913")) << valueOf(field->element).toStdString();
}

// The page puts the focus in its field while it loads, before the browser has finished its
// accessibility tree: the engine must look again once the load is done.
TEST_F(EngineInBrowser, FieldFocusedWhileItsPageLoadsGetsTheChip)
{
    EngineProcess engine(backend.url());
    ASSERT_TRUE(loadAfresh("ru-kod-autofocus.html"));
    EXPECT_TRUE(engine.waitForChip("searching", 10s)) << engine.printed();
}

TEST_F(EngineInBrowser, HotKeyTypesTheNewestCodeIntoAnyField)
{
    backend.deliver(otherSender, "Your code", "Your code is 100200.", 120);
    backend.deliver(otherSender, "Your code", "Your code is 300400.");
    EngineProcess engine(backend.url());
    const auto field = focusAfresh("typing.html", "free");
    ASSERT_TRUE(field);
    // The grab is taken after the inbox list, which the engine does not print, and a press before
    // it goes to the browser: the shortcut is pressed until the engine answers with its search.
    ASSERT_TRUE(waitUntil(
        [&] { return desktopRig().pressKeys("super+shift+o") && engine.waitForChip("searching", 2s); }, 30s))
        << engine.printed();
    EXPECT_TRUE(engine.waitFor([](const QJsonObject& line) { return line.contains("typed"); }, 10s))
        << engine.printed();
    EXPECT_TRUE(holds(field->element, "300400")) << valueOf(field->element).toStdString();
}

TEST_F(EngineInBrowser, ServerErrorShowsOnTheChipWhichHidesItself)
{
    backend.failWith(500);
    ASSERT_TRUE(focusAfresh("single-code.html", "entry"));
    // Started on the focused field, which it takes up as it starts: on Wayland it takes the screen
    // without the chip first.
    EngineProcess engine(backend.url());
    ASSERT_TRUE(engine.waitForChip("failed", 10s)) << engine.printed();
    // On Wayland the compositor may show the drawn chip a frame later, still fading in. How long it
    // stays up, and the error's text, are the engine's and the backend client's unit tests'.
    EXPECT_TRUE(waitUntil([&] { return engine.chipWindow().has_value(); }, 1s));
    EXPECT_TRUE(waitUntil([&] { return !engine.chipWindow(); }, 10s));
}

// Last: the link opens in a new tab, which the other cases' pages would have to share the window with.
TEST_F(EngineInBrowser, MagicLinkPageGetsTheLinkChipAndOpenOpensTheLinkInTheSameBrowser)
{
    ASSERT_TRUE(loadAfresh("magic-link.html"));
    // Started on the page, which it takes up as it starts: on Wayland it takes the screen without the
    // chip first.
    EngineProcess engine(backend.url());
    ASSERT_TRUE(engine.waitForChip("waitingForLink", 10s)) << engine.printed();

    // A new tab in front of the page (the user reads the mail there; Chromium's names the page on a
    // tile), then closed: the wait goes on, which the link offered below shows. On X11 the chip also
    // stays up meanwhile.
    for (const char* keys : {"ctrl+t", "ctrl+w"}) {
        SCOPED_TRACE(keys);
        ASSERT_TRUE(desktopRig().pressKeys(keys));
        settle(3s);
        EXPECT_TRUE(onWaylandRig() || engine.chipWindow()) << engine.printed();
    }

    ASSERT_TRUE(waitUntil([&] { return backend.requestsTo("v1/messages/ids") > 0; }, 10s));
    const QString link = pages->url("single-code.html?token=7f3a9");
    backend.deliverLink(otherSender, "Your sign-in link", "Sign in with the link.", link, "Sign in");
    const std::optional<QJsonObject> offered = engine.waitForChip("link", 10s);
    ASSERT_TRUE(offered) << engine.printed();
    EXPECT_EQ(offered->value("url").toString(), link);

    std::optional<QRect> chip;
    ASSERT_TRUE(waitUntil([&] { return (chip = engine.chipWindow()).has_value(); }, 5s));
    ASSERT_TRUE(clickChipButton(*accessibility, engine.pid(), "Open", chip->topLeft()));
    EXPECT_TRUE(engine.waitFor([&](const QJsonObject& line) { return line.value("opened") == link; }, 10s))
        << engine.printed();
    EXPECT_TRUE(waitUntil([&] { return showing(link); }, 15s))
        << "not a tab of the browser that showed the page";
}

} // namespace
} // namespace tessary::test
