#include "hotkey/KeyLabel.h"
#include "hotkey/KeyCodes.h"
#include "hotkey/Shortcut.h"

#include <QList>

#include <gtest/gtest.h>

using namespace tessary;

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

TEST(KeyCodeTable, ShiftedKeysymsNameTheSameKey)
{
    EXPECT_EQ(keysymForKeyCode(31), quint32('o'));
    EXPECT_EQ(keyCodeForKeysym('O'), 31);
    EXPECT_EQ(keyCodeForKeysym('!'), 18);    // Shift+1
    EXPECT_EQ(keyCodeForKeysym(0xfe20), 48); // Shift+Tab
    EXPECT_FALSE(keyCodeForKeysym(0));
    EXPECT_FALSE(keyCodeForKeysym(0x1008ff12)); // a media key without a row
}

TEST(KeyCodeTable, KeyEventsWithAndWithoutKeysym)
{
    EXPECT_EQ(keyCodeForKeyEvent(Qt::Key_K, 'k'), 40);
    // Offscreen and on platforms without keysyms the Qt key decides.
    const QList<std::pair<Qt::Key, qint64>> rows = {{Qt::Key_K, 40},       {Qt::Key_Space, 49},
                                                    {Qt::Key_F5, 96},      {Qt::Key_Backtab, 48},
                                                    {Qt::Key_Delete, 117}, {Qt::Key_Escape, 53}};
    for (const auto& [key, keyCode] : rows)
        EXPECT_EQ(keyCodeForKeyEvent(key, 0), keyCode) << key;
    EXPECT_FALSE(keyCodeForKeyEvent(Qt::Key_Shift, 0));
}

TEST(KeyCodeTable, QtKeyNumbersAsKdesShortcutServiceTakesThem)
{
    const QList<std::pair<qint64, int>> rows = {{31, Qt::Key_O},
                                                {49, Qt::Key_Space},
                                                {96, Qt::Key_F5},
                                                {18, Qt::Key_1},
                                                {27, Qt::Key_Minus},
                                                {117, Qt::Key_Delete},
                                                {83, Qt::KeypadModifier | Qt::Key_1},
                                                {81, Qt::KeypadModifier | Qt::Key_Equal}};
    for (const auto& [keyCode, qtKey] : rows)
        EXPECT_EQ(qtKeyForKeyCode(keyCode), qtKey) << keyCode;
    EXPECT_FALSE(qtKeyForKeyCode(10)); // no row
}
