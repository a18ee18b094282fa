// `tessary` itself under scripts/desktop-session --tray, scripts/wayland-session or scripts/kwin-session,
// against a loopback backend in the test process. One scenario on one running application, since each step
// starts where the one before left it: the first launch's onboarding through to the practice fill,
// the tray icon's popover (on X11, and on GNOME through the shell extension's icon: the sway and KWin
// rigs have no bar or panel to host it), and a second launch that hands over to the first.

#include "common/AppIdentity.h"
#include "desktop/engine/MailboxBackend.h"
#include "desktop/screen/DesktopDriver.h"
#include "platform/atspi/Frontmost.h"
#include "platform/session/SessionAccessibility.h"

#include <QRegularExpression>
#include <QSettings>

#include <gtest/gtest.h>

namespace tessary::test {
namespace {

using namespace std::chrono_literals;

// `tessary` with settings and data of its own, pointed at the test's backend; stopped by its pid.
class AppProcess {
public:
    explicit AppProcess(const QString& backendUrl)
    {
        QSettings(m_home.filePath(QStringLiteral("config/tessary/%1.conf").arg(applicationId())),
                  QSettings::IniFormat)
            .setValue("backendURL", backendUrl);
        // In the test's own environment, which a second launch inherits too.
        qputenv("XDG_CONFIG_HOME", m_home.filePath("config").toUtf8());
        qputenv("XDG_DATA_HOME", m_home.filePath("data").toUtf8());
        m_process.start(QStringLiteral(TESSARY_APP), {});
        m_process.waitForStarted(10000);
    }
    ~AppProcess() { stopChild(m_process); }

    qint64 pid() const { return m_process.processId(); }
    // Waits until some shown window matches (or, with `shown` false, none does).
    bool shows(const std::function<bool(const ShownWindow&)>& matches, bool shown = true)
    {
        return waitUntil(
            [&] { return std::ranges::any_of(desktopRig().shownWindows(pid()), matches) == shown; }, 15s);
    }
    std::string errors() { return m_process.readAllStandardError().toStdString(); }

private:
    QTemporaryDir m_home;
    QProcess m_process;
};

auto titled(const QString& title)
{
    return [title](const ShownWindow& window) { return window.title == title; };
}

// Clicks Tessary's icon and checks that its 300 pixels wide popover opens, and closes again. On X11
// the icon is a window of the tray's, and a click outside closes the popover. GNOME shows no tray:
// the extension's icon is the new pixels in the right half of the top bar, and Escape closes the
// popover (a click on the bare desktop moves no focus there).
void openAndCloseThePopover(AppProcess& app, const QRect& bar, const QImage& barBefore)
{
    const auto popover = [](const ShownWindow& window) { return window.rect.width() == 300; };
    std::optional<QRect> icon;
    if (onGnome()) {
        ASSERT_TRUE(waitUntil(
            [&] { return (icon = changedArea(barBefore, desktopRig().screenShot(bar))).has_value(); }, 10s));
        icon->translate(bar.topLeft());
    } else {
        const QList<ShownWindow> windows = desktopRig().shownWindows(app.pid());
        const auto tray = std::ranges::find_if(windows, [](const ShownWindow& window) {
            return window.rect.width() <= 32 && window.rect.height() <= 32 && window.rect.top() < 40;
        });
        ASSERT_NE(tray, windows.end());
        icon = tray->rect;
    }
    ASSERT_TRUE(clickAt(Rect{icon->x(), icon->y(), icon->width(), icon->height()}));
    ASSERT_TRUE(app.shows(popover));
    ASSERT_TRUE(onGnome() ? desktopRig().pressKeys(QStringLiteral("escape"))
                          : xdotool({"mousemove", "200", "900", "click", "1"}));
    EXPECT_TRUE(app.shows(popover, false));
}

TEST(Application, OnboardingToThePracticeFillThenTheTrayAndASecondLaunch)
{
    unlockKeyring();
    MailboxBackend backend;
    std::unique_ptr<AtspiAccessibility> liveAccessibility = makeSessionAccessibility();
    AtspiAccessibility& accessibility = *liveAccessibility;
    // GNOME's top bar before Tessary's icon joins it, and after the indicator of the rig's input
    // session has (a key press starts that session).
    const QRect bar(640, 0, 640, 32);
    const QImage barBefore = onGnome() && desktopRig().pressKeys(QStringLiteral("shift"))
                                 ? (settle(1s), desktopRig().screenShot(bar))
                                 : QImage();
    AppProcess app(backend.url());

    ASSERT_TRUE(app.shows(titled("Welcome to Tessary"))) << app.errors();
    const auto find = [&](const QString& name) { return namedElement(accessibility, app.pid(), name); };
    const auto click = [&](const QString& title) { return clickNamed(accessibility, app.pid(), title); };

    // Continue through the steps (the inbox step waits for the backend's active inbox) until the
    // primary button reads Done on the practice step.
    ASSERT_TRUE(waitUntil(
        [&] {
            if (find("Done"))
                return true;
            click("Continue");
            settle(400ms);
            return false;
        },
        40s));

    // A click in the practice field brings the chip with the made-up code; Fill types it.
    const std::optional<Element> field = find("Code");
    ASSERT_TRUE(field);
    const std::optional<Rect> fieldFrame = accessibility.screenFrame(*field);
    ASSERT_TRUE(fieldFrame);
    // On Wayland the chip is a layer surface, in no window list: it shows as new pixels where it must
    // stand, 4 under the field's bottom-left corner and 30 high, and its Fill is clicked there.
    const QRect underField(fieldFrame->x, fieldFrame->y + fieldFrame->height + 4, 60, 30);
    const QImage before = onWaylandRig() ? desktopRig().screenShot(underField) : QImage();
    ASSERT_TRUE(click("Code"));
    const auto value = [&] { return accessibility.text(*field).value_or(QString()); };
    if (onWaylandRig()) {
        ASSERT_FALSE(before.isNull());
        ASSERT_TRUE(waitUntil(
            [&] {
                const QImage now = desktopRig().screenShot(underField);
                return !now.isNull() && now != before;
            },
            15s));
        settle(300ms); // the chip fades in
    } else {
        // The chip's window, placed from the field's frame as Tessary reads it in process, stands
        // where the field is as read from outside.
        const auto chip = [&](const ShownWindow& window) {
            return window.title != "Welcome to Tessary" &&
                   (window.rect.topLeft() - underField.topLeft()).manhattanLength() <= 2;
        };
        ASSERT_TRUE(app.shows(chip));
    }
    ASSERT_TRUE(clickChipButton(accessibility, app.pid(), "Fill", underField.topLeft()));
    const QRegularExpression sixDigits("^\\d{6}$");
    EXPECT_TRUE(waitUntil([&] { return sixDigits.match(value()).hasMatch(); }, 10s))
        << "practice field holds: " << value().toStdString();
    ASSERT_TRUE(click("Done"));
    EXPECT_TRUE(app.shows(titled("Welcome to Tessary"), false));

    if (!onWaylandRig() || onGnome())
        openAndCloseThePopover(app, bar, barBefore);
    if (HasFatalFailure())
        return;

    // A second launch hands over and ends; the first opens its settings, setup being finished.
    EXPECT_TRUE(run(QStringLiteral(TESSARY_APP), {}));
    EXPECT_TRUE(app.shows([](const ShownWindow& window) { return window.title.endsWith("Settings"); }))
        << app.errors();
}

} // namespace
} // namespace tessary::test
