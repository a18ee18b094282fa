#include "hotkey/KeyLabel.h"
#include "hotkey/KeyCodes.h"
#include "hotkey/Shortcut.h"

#include <gtest/gtest.h>

using namespace tessary;

TEST(KeyLabelFixedTable, NamedKeysIgnoreTheirText)
{
    EXPECT_EQ(keyLabel(49, Qt::Key_Space, QStringLiteral(" ")), QStringLiteral("Space"));
    EXPECT_EQ(keyLabel(36, Qt::Key_Return, QStringLiteral("\r")), QStringLiteral("↩"));
    EXPECT_EQ(keyLabel(48, Qt::Key_Tab, QStringLiteral("\t")), QStringLiteral("⇥"));
    EXPECT_EQ(keyLabel(126, Qt::Key_Up, {}), QStringLiteral("↑"));
    EXPECT_EQ(keyLabel(123, Qt::Key_Left, {}), QStringLiteral("←"));
    EXPECT_EQ(keyLabel(122, Qt::Key_F1, {}), QStringLiteral("F1"));
    EXPECT_EQ(keyLabel(101, Qt::Key_F9, {}), QStringLiteral("F9"));
}

TEST(KeyLabelFromCharacters, UpperCasedCharacterOfTheKey)
{
    EXPECT_EQ(keyLabel(40, Qt::Key_K, QStringLiteral("k")), QStringLiteral("K"));
    EXPECT_EQ(keyLabel(41, Qt::Key_Semicolon, QStringLiteral(";")), QStringLiteral(";"));
    EXPECT_EQ(keyLabel(0, Qt::Key_Adiaeresis, QStringLiteral("ä")), QStringLiteral("Ä"));
}

TEST(KeyLabelFromCharacters, ControlCharactersFallBackToTheKey)
{
    // Ctrl+K types the control character 0x0B; the label is still the key's letter.
    EXPECT_EQ(keyLabel(40, Qt::Key_K, QStringLiteral("\x0b")), QStringLiteral("K"));
    EXPECT_EQ(keyLabel(40, Qt::Key_K, QString()), QStringLiteral("K"));
}

TEST(KeyLabelFromCharacters, KeysWithoutCharacters)
{
    // Function keys past F9 have no fixed label and type nothing: their name stands in.
    EXPECT_EQ(keyLabel(109, Qt::Key_F10, {}), QStringLiteral("F10"));
    EXPECT_EQ(keyLabel(115, Qt::Key_Home, {}), QStringLiteral("?"));
    EXPECT_EQ(keyLabel(-1, Qt::Key_unknown, {}), QStringLiteral("?"));
}

TEST(EventModifiers, SuperIsCommandAndAltIsOption)
{
    EXPECT_EQ(carbonModifiers(Qt::MetaModifier | Qt::ShiftModifier), modifier::command | modifier::shift);
    EXPECT_EQ(carbonModifiers(Qt::ControlModifier | Qt::AltModifier), modifier::control | modifier::option);
    EXPECT_EQ(carbonModifiers(Qt::KeypadModifier | Qt::GroupSwitchModifier), 0);
}

TEST(KeyCodeTable, EveryKeyCodeComesBackFromItsKeysym)
{
    int known = 0;
    for (qint64 keyCode = 0; keyCode < 128; ++keyCode) {
        const std::optional<quint32> keysym = keysymForKeyCode(keyCode);
        if (!keysym)
            continue;
        ++known;
        EXPECT_EQ(keyCodeForKeysym(*keysym), keyCode) << "key code " << keyCode;
        EXPECT_FALSE(keyLabelForKeyCode(keyCode).isEmpty()) << "key code " << keyCode;
    }
    EXPECT_GT(known, 90);
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
    EXPECT_EQ(keyCodeForKeyEvent(Qt::Key_K, 0), 40);
    EXPECT_EQ(keyCodeForKeyEvent(Qt::Key_Space, 0), 49);
    EXPECT_EQ(keyCodeForKeyEvent(Qt::Key_F5, 0), 96);
    EXPECT_EQ(keyCodeForKeyEvent(Qt::Key_Backtab, 0), 48);
    EXPECT_EQ(keyCodeForKeyEvent(Qt::Key_Delete, 0), 117);
    EXPECT_EQ(keyCodeForKeyEvent(Qt::Key_Backspace, 0), 51);
    EXPECT_EQ(keyCodeForKeyEvent(Qt::Key_Escape, 0), 53);
    EXPECT_FALSE(keyCodeForKeyEvent(Qt::Key_Shift, 0));
}
