#include "hotkey/Shortcut.h"
#include "fakes/FakeHotKey.h"
#include "hotkey/KeyCodes.h"
#include "hotkey/KeyLabel.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace tessary;
using tessary::test::FakeHotKey;

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

TEST(KeyLabel, NamedKeysThenTheKeysCharacterThenItsName)
{
    struct Row {
        const char* rule;
        qint64 keyCode;
        Qt::Key key;
        QString text;
        QString label;
    };
    const QList<Row> rows = {
        {"named key ignores its text", 49, Qt::Key_Space, " ", "Space"},
        {"named key", 48, Qt::Key_Tab, "\t", "⇥"},
        {"named function key", 101, Qt::Key_F9, {}, "F9"},
        {"character upper-cased", 40, Qt::Key_K, "k", "K"},
        {"punctuation", 41, Qt::Key_Semicolon, ";", ";"},
        {"character off the table", 0, Qt::Key_Adiaeresis, "ä", "Ä"},
        {"Ctrl+K types a control character", 40, Qt::Key_K, "\x0b", "K"},
        {"no text", 40, Qt::Key_K, {}, "K"},
        {"function key past the table", 109, Qt::Key_F10, {}, "F10"},
        {"nothing to show", 115, Qt::Key_Home, {}, "?"},
        {"unknown", -1, Qt::Key_unknown, {}, "?"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rule);
        EXPECT_EQ(keyLabel(row.keyCode, row.key, row.text), row.label);
    }
}

TEST(EventModifiers, SuperIsCommandAndAltIsOption)
{
    EXPECT_EQ(carbonModifiers(Qt::MetaModifier | Qt::ShiftModifier), modifier::command | modifier::shift);
    EXPECT_EQ(carbonModifiers(Qt::ControlModifier | Qt::AltModifier), modifier::control | modifier::option);
    EXPECT_EQ(carbonModifiers(Qt::KeypadModifier | Qt::GroupSwitchModifier), 0);
}

TEST(KeyCodeTable, ShiftedKeysymsNameTheSameKeyAndKeyEventsAreTheirKeysPosition)
{
    EXPECT_EQ(keysymForKeyCode(31), quint32('o'));
    EXPECT_EQ(keyCodeForKeysym('O'), 31);
    EXPECT_EQ(keyCodeForKeysym('!'), 18);    // Shift+1
    EXPECT_EQ(keyCodeForKeysym(0xfe20), 48); // Shift+Tab
    EXPECT_FALSE(keyCodeForKeysym(0));
    EXPECT_FALSE(keyCodeForKeysym(0x1008ff12)); // a media key without a row

    // The position decides, whatever the layout types there: on a French layout "&" is on the 1
    // key and "a" on the key that types q on a US one.
    EXPECT_EQ(keyCodeForKeyEvent(Qt::Key_Ampersand, '&', 10), 18);
    EXPECT_EQ(keyCodeForKeyEvent(Qt::Key_A, 'a', 24), 12);
    EXPECT_EQ(keyCodeForKeyEvent(Qt::Key_K, 'k', 0), 40);
    // Offscreen and on platforms without keysyms the Qt key decides.
    const QList<std::pair<Qt::Key, qint64>> rows = {{Qt::Key_K, 40},       {Qt::Key_Space, 49},
                                                    {Qt::Key_F5, 96},      {Qt::Key_Backtab, 48},
                                                    {Qt::Key_Delete, 117}, {Qt::Key_Escape, 53}};
    for (const auto& [key, keyCode] : rows)
        EXPECT_EQ(keyCodeForKeyEvent(key, 0, 0), keyCode) << key;
    EXPECT_FALSE(keyCodeForKeyEvent(Qt::Key_Shift, 0, 0));
    EXPECT_FALSE(keyCodeForKeyEvent(Qt::Key_Less, '<', 94)); // beside left Shift: no row, not ","
    EXPECT_EQ(xkbKeycodeForKeyCode(83), 87u);                // keypad 1
    EXPECT_FALSE(xkbKeycodeForKeyCode(10));
}

TEST(KeyCodeTable, KeysAsDesktopsThatBindByKeysymTakeThem)
{
    // A character key is what it typed when it was recorded, as its label shows, unless Shift
    // changed a symbol; every other key is the same in every layout.
    struct Row {
        qint64 keyCode;
        qint64 modifiers;
        QString label;
        quint32 keysym;
        int qtKey;
    };
    const QList<Row> rows = {
        {31, 0, "O", 'o', Qt::Key_O},
        {49, 0, "Space", ' ', Qt::Key_Space},
        {96, 0, "F5", 0xffc2, Qt::Key_F5},
        {18, modifier::shift, "!", '1', Qt::Key_1},
        {27, 0, "-", '-', Qt::Key_Minus},
        {117, 0, "?", 0xffff, Qt::Key_Delete},
        {83, 0, "1", 0xffb1, int(Qt::KeypadModifier) | Qt::Key_1},
        {81, 0, "=", 0xffbd, int(Qt::KeypadModifier) | Qt::Key_Equal},
        {18, 0, "&", '&', Qt::Key_Ampersand},       // French layouts
        {12, modifier::shift, "A", 'a', Qt::Key_A}, // French layouts
        {19, 0, "É", 0xe9, Qt::Key_Eacute},         // French layouts
        {31, 0, "Щ", 'o', Qt::Key_O},               // beyond Latin-1
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label.toStdString());
        const Shortcut shortcut{row.keyCode, row.modifiers, row.label};
        EXPECT_EQ(keysymForShortcut(shortcut), row.keysym);
        EXPECT_EQ(qtKeyForShortcut(shortcut), row.qtKey);
    }
    EXPECT_FALSE(qtKeyForShortcut({10, 0, "?"})); // no row
}

TEST(HotKeyPress, RunsTheHandlerLaterOncePerPressUnlessTheHotKeyIsGone)
{
    int fills = 0;
    {
        FakeHotKey hotKey;
        hotKey.setPressHandler([&] { ++fills; });
        ASSERT_TRUE(hotKey.registerShortcut(Shortcut::defaultShortcut()));
        hotKey.press();
        hotKey.press();
        // The press is handled first; the fill runs from the event loop afterwards.
        EXPECT_EQ(fills, 0);
        QCoreApplication::processEvents();
        EXPECT_EQ(fills, 2);
        hotKey.press();
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(fills, 2) << "a queued press died with the hot key";
}
