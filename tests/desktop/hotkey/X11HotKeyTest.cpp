// The hot key against a real X server (run under scripts/desktop-session).

#include "platform/x11/X11HotKey.h"
#include "desktop/screen/DesktopDriver.h"

#include <gtest/gtest.h>

// Xlib's macros (None, Status, Bool) clash with Qt's names: after every Qt header.
#include "OtherClient.h"

using namespace tessary;
using namespace tessary::test;
using namespace std::chrono_literals;

namespace {

const Shortcut shiftCommandO{31, modifier::shift | modifier::command, "O"};
const Shortcut controlOptionK{40, modifier::control | modifier::option, "K"};

// Waits until `count` reaches `wanted` (or three seconds pass), then a little longer so that an
// extra, unwanted press would show too.
int pressesOnceThereAre(const int& count, int wanted)
{
    waitUntil([&] { return count >= wanted; }, 3s);
    settle(200ms);
    return count;
}

class X11HotKeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(other) << "no X server: run under scripts/desktop-session";
        hotKey.setPressHandler([this] { ++presses; });
    }

    OtherClient other;
    X11HotKey hotKey;
    int presses = 0;
};

} // namespace

TEST_F(X11HotKeyTest, HoldingTheShortcutDownIsOnePressAndOnlyItCounts)
{
    ASSERT_TRUE(hotKey.registerShortcut(shiftCommandO));

    // Long enough for the server's auto-repeat (660 ms delay, then 25 a second) to send many.
    ASSERT_TRUE(xdotool({"keydown", "shift+super+o"}));
    settle(1500ms);
    ASSERT_TRUE(xdotool({"keyup", "o+super+shift"}));
    EXPECT_EQ(pressesOnceThereAre(presses, 1), 1);

    // The next press after a real release still counts, once.
    other.press(XK_o, {XK_Shift_L, XK_Super_L});
    EXPECT_EQ(pressesOnceThereAre(presses, 2), 2);

    // Other modifiers, or the bare key, are not the shortcut.
    other.press(XK_o, {XK_Super_L});
    other.tap(XK_o);
    EXPECT_EQ(pressesOnceThereAre(presses, 3), 2);
}

TEST_F(X11HotKeyTest, WorksWithNumLockAndCapsLockOn)
{
    ASSERT_TRUE(hotKey.registerShortcut(controlOptionK));

    other.tap(XK_Num_Lock);
    other.press(XK_k, {XK_Control_L, XK_Alt_L});
    EXPECT_EQ(pressesOnceThereAre(presses, 1), 1);
    other.tap(XK_Caps_Lock);
    other.press(XK_k, {XK_Control_L, XK_Alt_L});
    EXPECT_EQ(pressesOnceThereAre(presses, 2), 2);
    other.tap(XK_Num_Lock);
    other.tap(XK_Caps_Lock);
}

TEST_F(X11HotKeyTest, CombinationHeldByAnotherClientIsRefusedAndNothingStaysRegistered)
{
    ASSERT_TRUE(hotKey.registerShortcut(shiftCommandO));
    ASSERT_TRUE(other.grab(XK_k, ControlMask | Mod1Mask)); // only the plain variant

    EXPECT_FALSE(hotKey.registerShortcut(controlOptionK));

    // Neither the refused combination's other variants nor the previous shortcut are held.
    EXPECT_TRUE(other.grab(XK_k, ControlMask | Mod1Mask | LockMask));
    EXPECT_TRUE(other.grabAllVariants(XK_o, ShiftMask | Mod4Mask));
    other.ungrabAll();
}

TEST_F(X11HotKeyTest, ReleaseGivesBackEveryVariant)
{
    ASSERT_TRUE(hotKey.registerShortcut(controlOptionK));
    EXPECT_FALSE(other.grab(XK_k, ControlMask | Mod1Mask | Mod2Mask));

    hotKey.release();
    EXPECT_TRUE(other.grabAllVariants(XK_k, ControlMask | Mod1Mask));
    other.ungrabAll();

    // Switching off through registration does the same.
    ASSERT_TRUE(hotKey.registerShortcut(controlOptionK));
    EXPECT_TRUE(hotKey.registerShortcut(std::nullopt));
    EXPECT_TRUE(other.grabAllVariants(XK_k, ControlMask | Mod1Mask));
    other.ungrabAll();
}

TEST_F(X11HotKeyTest, TheKeyIsFoundInTheLayoutInUse)
{
    // The layout changes after the start, as a session's settings apply it: K moves to another key.
    ASSERT_TRUE(hotKey.registerShortcut(controlOptionK));
    ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), {"-layout", "us", "-variant", "dvorak"}), 0);
    settle(300ms); // the news of the change reaches us through the event loop
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+k"}));
    EXPECT_EQ(pressesOnceThereAre(presses, 1), 1);
    // Registered again in the new layout, too.
    ASSERT_TRUE(hotKey.registerShortcut(controlOptionK));
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+k"}));
    EXPECT_EQ(pressesOnceThereAre(presses, 2), 2);
    // Recorded on a French layout, where A is on the key the US layout has Q on: the key that
    // types A, not the one with a Q on it.
    ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), {"-layout", "fr"}), 0);
    ASSERT_TRUE(hotKey.registerShortcut(Shortcut{12, modifier::control | modifier::option, "A"}));
    ASSERT_TRUE(xdotool({"key", "ctrl+alt+a"}));
    EXPECT_EQ(pressesOnceThereAre(presses, 3), 3);
    ASSERT_EQ(QProcess::execute(QStringLiteral("setxkbmap"), {"-layout", "us"}), 0);
}
