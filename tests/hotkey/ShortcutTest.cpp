#include "hotkey/Shortcut.h"

#include <QList>

#include <gtest/gtest.h>

using namespace tessary;

TEST(ShortcutDisplay, ModifiersInFixedOrderThenKey)
{
    const qint64 all = modifier::command | modifier::shift | modifier::option | modifier::control;
    EXPECT_EQ((Shortcut{31, all, "O"}.display()), QStringLiteral("Shift+Ctrl+Alt+Super+O"));
    EXPECT_EQ((Shortcut{31, modifier::command | modifier::shift, "O"}.display()),
              QStringLiteral("Shift+Super+O"));
    EXPECT_EQ((Shortcut{49, modifier::option | modifier::control, "Space"}.display()),
              QStringLiteral("Ctrl+Alt+Space"));
    EXPECT_EQ((Shortcut{96, modifier::command, "F5"}.display()), QStringLiteral("Super+F5"));
    EXPECT_EQ((Shortcut{36, modifier::control, "↩"}.display()), QStringLiteral("Ctrl+Return"));
    EXPECT_EQ((Shortcut{48, modifier::option, "⇥"}.display()), QStringLiteral("Alt+Tab"));
}

TEST(ShortcutParsing, WrittenFormsOrKeyCodeAndModifiersWithAModifierAndAKey)
{
    const QList<std::pair<const char*, std::optional<Shortcut>>> rows = {
        {"Shift+Super+O", Shortcut{31, 768, "O"}},
        {"super+shift+o", Shortcut{31, 768, "O"}},
        {"ctrl+alt+space", Shortcut{49, 6144, "Space"}}, // key names too, in any case
        {"super+f5", Shortcut{96, 256, "F5"}},
        {"Ctrl+Alt+Space", Shortcut{49, 6144, "Space"}},
        {"Super+F5", Shortcut{96, 256, "F5"}},
        {"Ctrl+Return", Shortcut{36, 4096, "↩"}},
        {"Shift+Ctrl+:", Shortcut{41, 4608, ":"}}, // as a shifted symbol shows: no "keyCode:modifiers"
        {"Shift+Ctrl+!", Shortcut{18, 4608, "!"}},
        {"Shift+⌘Tab", Shortcut{48, 768, "⇥"}}, // the two forms mixed still name the same keys
        {"Super+", std::nullopt},
        {"Super O", std::nullopt},
        {"Hyper+O", std::nullopt},
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
