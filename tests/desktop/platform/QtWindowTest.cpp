// The platform layer against a real Qt application under scripts/desktop-session: where libatspi's
// events are delivered, the frontmost application, focus, frames and typing.

#include "common/Clock.h"
#include "desktop/platform/TestWindowProcess.h"
#include "platform/session/SessionAccessibility.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/XTestKeyboard.h"
#include "screen/CodeField.h"
#include "screen/TypeCode.h"

#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

// After every other header: Xlib's macros (None, Bool) clash with their identifiers.
#include "desktop/hotkey/OtherClient.h"

#include <X11/XKBlib.h>

namespace tessary::test {
namespace {

using namespace std::chrono_literals;

class QtWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        accessibility = makeSessionAccessibility().release();
        keyboard = new XTestKeyboard(systemClock);
        window = new TestWindowProcess;
    }
    static void TearDownTestSuite()
    {
        delete window;
        delete keyboard;
        delete accessibility;
    }

    std::optional<Element> clickField(const QString& name)
    {
        EXPECT_TRUE(window->fields.contains(name)) << "the test window did not report " << name.toStdString();
        return window->click(*accessibility, name);
    }

    QString valueOf(const Element& element) { return test::valueOf(*accessibility, element); }

    // Clicks into the field and empties it. Keys pressed right after the click now and then reach
    // the window before it has taken the focus, so they are pressed again until the field is empty.
    std::optional<Element> clickEmptyField(const QString& name)
    {
        const std::optional<Element> field = clickField(name);
        bool empty = false;
        for (int attempt = 0; field && !empty && attempt < 3; ++attempt) {
            EXPECT_TRUE(xdotool({"key", "ctrl+a", "BackSpace"}));
            empty = waitUntil([&] { return valueOf(*field).isEmpty(); }, 2s);
        }
        EXPECT_TRUE(empty) << "the field kept " << (field ? valueOf(*field).toStdString() : "no element");
        return field;
    }

    void type(const QString& text)
    {
        QCoro::waitFor(typeCode(*accessibility, *keyboard, systemClock, text));
        settle(300ms);
    }

    static inline AtspiAccessibility* accessibility = nullptr;
    static inline SystemClock systemClock;
    static inline XTestKeyboard* keyboard = nullptr;
    static inline TestWindowProcess* window = nullptr;
};

// Clicks into the window's fields: the focus event arrives through Qt's own loop, the window's
// process is in front, and the code field is found with its real frame and label.
TEST_F(QtWindow, AClickedFieldIsSeenThroughQtsLoopInTheFrontmostProcessWithItsFrameAndLabel)
{
    ASSERT_TRUE(accessibility->available());
    // libatspi is served by the GLib main context Qt's dispatcher runs: no thread of our own.
    EXPECT_TRUE(AtspiRuntime::eventsRunInQtLoop());
    const quint64 before = accessibility->focusTracker()->eventCount();
    ASSERT_TRUE(clickField(QStringLiteral("free"))); // the window starts with the code field focused
    // Only Qt's loop ran while waiting, and the focus event reached the tracker through it.
    EXPECT_TRUE(waitUntil([&] { return accessibility->focusTracker()->eventCount() > before; }, 5s));

    const std::optional<RunningApplication> front = accessibility->frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_EQ(front->pid, window->pid());
    // No desktop file launches it, so it is named by its executable.
    EXPECT_EQ(front->appId, QStringLiteral("tessary-test-window"));
    EXPECT_EQ(front->appPath, QStringLiteral(TESSARY_TEST_WINDOW));
    const std::optional<Element> application = accessibility->applicationElement(front->pid);
    ASSERT_TRUE(application);
    EXPECT_EQ(accessibility->processId(*application), front->pid);
    EXPECT_TRUE(accessibility->focusedWindow(*application));

    const std::optional<Element> field = clickField(QStringLiteral("code"));
    ASSERT_TRUE(field);
    EXPECT_EQ(accessibility->screenFrame(*field), window->fields.value(QStringLiteral("code")));
    EXPECT_EQ(accessibility->role(*field), Role::entry);
    const std::optional<Element> label = accessibility->labelledBy(*field);
    ASSERT_TRUE(label);
    EXPECT_EQ(accessibility->name(*label), QStringLiteral("Verification code"));
    // A native field: classified by the same rules, with no page host.
    const std::optional<CodeField> detected = CodeField::detect(*accessibility, *field);
    ASSERT_TRUE(detected);
    EXPECT_FALSE(detected->domain);
}

// Text arrives as written: while the hot key's modifiers are still held (typing lets them go first),
// with characters the keymap lacks (each mapped onto a spare key for a moment, the keymap restored
// after), under Caps Lock, with combining accents ("e" + accent has a precomposed form; "q" +
// accent has none and keeps its two code points), and while the keymap's second layout is in use.
TEST_F(QtWindow, TextArrivesAsWritten)
{
    const struct {
        const char* held; // keys down as typing starts
        bool capsLock;
        QString text, arrives;
        const char* layouts = nullptr; // the keymap's layouts, the second one in use
    } rows[] = {{"ctrl+alt", false, QStringLiteral("482913"), QStringLiteral("482913")},
                {nullptr, false, QStringLiteral("AbC-é€ñ"), QStringLiteral("AbC-é€ñ")},
                {nullptr, true, QStringLiteral("ab1Cé"), QStringLiteral("ab1Cé")},
                {nullptr, false, QStringLiteral("e\u0301q\u0301"), QStringLiteral("\u00e9q\u0301")},
                {nullptr, false, QStringLiteral("AbC-1é"), QStringLiteral("AbC-1é"), "us,ru"}};
    X11Connection connection;
    const auto setLayouts = [](const char* layouts) {
        return QProcess::execute(QStringLiteral("setxkbmap"), {QStringLiteral("-layout"), layouts}) == 0;
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        const std::optional<Element> field = clickEmptyField(QStringLiteral("free"));
        ASSERT_TRUE(field);
        ASSERT_TRUE(!row.capsLock || xdotool({"key", "Caps_Lock"}));
        if (row.layouts) {
            ASSERT_TRUE(setLayouts(row.layouts));
            XkbLockGroup(connection.display(), XkbUseCoreKbd, 1);
            XSync(connection.display(), False);
        }
        if (row.held) {
            ASSERT_TRUE(xdotool({"keydown", row.held}));
            EXPECT_TRUE(keyboard->keysHeld());
        }
        type(row.text);
        EXPECT_EQ(valueOf(*field), row.arrives);
        EXPECT_FALSE(keyboard->keysHeld());
        ASSERT_TRUE(!row.capsLock || xdotool({"key", "Caps_Lock"}));
        ASSERT_TRUE(!row.layouts || setLayouts("us"));
        for (const char32_t character : {U'é', U'€', U'ñ'})
            EXPECT_EQ(XKeysymToKeycode(connection.display(), XTestKeyboard::keysymFor(character)), 0)
                << "a temporary mapping was left behind";
    }
}

TEST_F(QtWindow, DigitsTypedWhileTheHotKeysOwnKeyIsDownArriveAfterItsRelease)
{
    const std::optional<Element> field = clickEmptyField(QStringLiteral("code"));
    ASSERT_TRUE(field);
    // Another client holds Ctrl+Alt+K the way our hot key does: while K is down, its grab takes every key.
    OtherClient grabber;
    ASSERT_TRUE(grabber.grab(XK_k, ControlMask | Mod1Mask));
    // The user lets go of the modifiers first and of K a moment later, while typing has started.
    ASSERT_TRUE(xdotool({"keydown", "ctrl+alt+k"}));
    ASSERT_TRUE(xdotool({"keyup", "ctrl+alt"}));
    QTimer::singleShot(300ms, [] { xdotool({"keyup", "k"}); });
    type(QStringLiteral("482913"));
    grabber.ungrabAll();
    EXPECT_EQ(valueOf(*field), QStringLiteral("482913"));
}

TEST_F(QtWindow, AHungApplicationReadsAsNothingInsteadOfFreezingTheCaller)
{
    const std::optional<Element> field = clickField(QStringLiteral("code"));
    ASSERT_TRUE(field);
    ASSERT_EQ(::kill(pid_t(window->pid()), SIGSTOP), 0);
    QElapsedTimer elapsed;
    elapsed.start();
    const std::optional<QString> value = accessibility->text(*field);
    const std::optional<Rect> frame = accessibility->screenFrame(*field);
    const qint64 waited = elapsed.elapsed();
    ::kill(pid_t(window->pid()), SIGCONT);
    EXPECT_FALSE(value);
    EXPECT_FALSE(frame);
    // Two bounded calls; far less than D-Bus's own 25 s default.
    EXPECT_LT(waited, 5000);
    // Once it answers again, it reads as before.
    EXPECT_TRUE(waitUntil([&] { return accessibility->screenFrame(*field).has_value(); }, 5s));
}

} // namespace
} // namespace tessary::test
