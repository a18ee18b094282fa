#include "hotkey/Shortcut.h"

#include <QList>

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

TEST(ShortcutParsing, DisplayedFormOrKeyCodeAndModifiersWithAModifierAndAKey)
{
    const QList<std::pair<const char*, std::optional<Shortcut>>> rows = {
        {"⇧⌘O", Shortcut{31, 768, "O"}},
        {"⌘⇧o",
         Shortcut{31, 768, "O"}}, // modifier order as typed does not matter; the label is the key's own
        {"⌃⌥Space", Shortcut{49, 6144, "Space"}},
        {"⌘F12", Shortcut{111, 256, "F12"}},
        {"⌃↩", Shortcut{36, 4096, "↩"}},
        {"31:768", Shortcut{31, 768, "O"}},
        {"40:6144", Shortcut{40, 6144, "K"}},
        {"97:256", Shortcut{97, 256, "F6"}},
        {"O", std::nullopt},       // no modifier
        {"⌘", std::nullopt},       // no key
        {"⌘Banana", std::nullopt}, // unknown key
        {"31:0", std::nullopt},    // no modifier
        {"31:1", std::nullopt},    // not a modifier bit
        {"-1:256", std::nullopt},  // no such key
        {"127:256", std::nullopt}, // a code without a key
        {"31:768:1", std::nullopt},
    };
    for (const auto& [text, shortcut] : rows)
        EXPECT_EQ(parseShortcut(QString::fromUtf8(text)), shortcut) << text;
}
