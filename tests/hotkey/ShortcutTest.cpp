#include "hotkey/Shortcut.h"

#include <gtest/gtest.h>

using namespace tessary;

TEST(ShortcutDisplay, ModifiersInFixedOrderThenKey)
{
    const qint64 all = modifier::command | modifier::shift | modifier::option | modifier::control;
    EXPECT_EQ((Shortcut{31, all, "O"}.display()), QStringLiteral("⌃⌥⇧⌘O"));
    EXPECT_EQ((Shortcut{31, modifier::command | modifier::shift, "O"}.display()), QStringLiteral("⇧⌘O"));
    EXPECT_EQ((Shortcut{49, modifier::option | modifier::control, "Space"}.display()),
              QStringLiteral("⌃⌥Space"));
    EXPECT_EQ((Shortcut{96, modifier::command, "F5"}.display()), QStringLiteral("⌘F5"));
}

TEST(ShortcutDefault, ShiftCommandOUnlessDeveloperBuild)
{
    EXPECT_EQ(Shortcut::defaultShortcutFor(false), (Shortcut{31, 768, "O"}));
    EXPECT_EQ(Shortcut::defaultShortcutFor(true), (Shortcut{31, 6144, "O"}));
    EXPECT_EQ(Shortcut::defaultShortcutFor(true).display(), QStringLiteral("⌃⌥O"));
    // This build's id decides which of the two is the default.
    EXPECT_EQ(Shortcut::defaultShortcut(),
              Shortcut::defaultShortcutFor(QStringLiteral(TESSARY_APP_ID).endsWith(QLatin1String(".dev"))));
}

TEST(ShortcutConflictMessage, NamesTheRefusedCombination)
{
    EXPECT_EQ(shortcutConflictMessage(Shortcut{40, modifier::control | modifier::option, "K"}),
              QStringLiteral("⌃⌥K is already used by another app."));
    EXPECT_EQ(shortcutConflictMessage(std::nullopt),
              QStringLiteral("That shortcut is already used by another app."));
}

TEST(ShortcutParsing, ReadsDisplayedForm)
{
    EXPECT_EQ(parseShortcut(QStringLiteral("⇧⌘O")), (Shortcut{31, 768, "O"}));
    // Modifier order as typed does not matter; the label is the key's own.
    EXPECT_EQ(parseShortcut(QStringLiteral("⌘⇧o")), (Shortcut{31, 768, "O"}));
    EXPECT_EQ(parseShortcut(QStringLiteral("⌃⌥Space")), (Shortcut{49, 6144, "Space"}));
    EXPECT_EQ(parseShortcut(QStringLiteral("⌘F12")), (Shortcut{111, 256, "F12"}));
    EXPECT_EQ(parseShortcut(QStringLiteral("⌃↩")), (Shortcut{36, 4096, "↩"}));
}

TEST(ShortcutParsing, ReadsKeyCodeAndModifiers)
{
    EXPECT_EQ(parseShortcut(QStringLiteral("31:768")), (Shortcut{31, 768, "O"}));
    EXPECT_EQ(parseShortcut(QStringLiteral("40:6144")), (Shortcut{40, 6144, "K"}));
    EXPECT_EQ(parseShortcut(QStringLiteral("97:256")), (Shortcut{97, 256, "F6"}));
}

TEST(ShortcutParsing, RejectsWhatCannotBeGrabbed)
{
    EXPECT_FALSE(parseShortcut(QStringLiteral("O")));       // no modifier
    EXPECT_FALSE(parseShortcut(QStringLiteral("⌘")));       // no key
    EXPECT_FALSE(parseShortcut(QStringLiteral("⌘Banana"))); // unknown key
    EXPECT_FALSE(parseShortcut(QStringLiteral("31:0")));    // no modifier
    EXPECT_FALSE(parseShortcut(QStringLiteral("31:1")));    // not a modifier bit
    EXPECT_FALSE(parseShortcut(QStringLiteral("-1:256")));  // no such key
    EXPECT_FALSE(parseShortcut(QStringLiteral("127:256"))); // a code without a key
    EXPECT_FALSE(parseShortcut(QStringLiteral("31:768:1")));
}
