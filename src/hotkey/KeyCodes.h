#pragma once

#include <QtGlobal>

#include <optional>

namespace tessary {

struct Shortcut;

// Shortcuts are stored with the virtual key codes of the Apple ANSI keyboard (31 is O), so a
// settings file reads the same on every platform. Such a code names a key by its place on the
// keyboard; the desktops bind a shortcut by what that key typed when it was recorded (its label),
// as they bind their own. This is the one table between those codes, the keyboard's own key
// numbers, X keysyms and Qt key numbers; the hot key and the recorder translate through it and
// nowhere else.

// The keysym of the key's unshifted character or function ("o", "Return", "F5"); none for a key
// code this system does not know.
std::optional<quint32> keysymForKeyCode(qint64 keyCode);

// The key code of a keysym, shifted forms of the US layout included ("O" and "o" are both 31,
// "exclam" is the 1 key); none for a key without a row.
std::optional<qint64> keyCodeForKeysym(quint32 keysym);

// The number xkb gives the key at a key code's place: the kernel's key number plus 8, as X
// servers and Wayland compositors number keys (the X key code); none for an unknown code.
std::optional<quint32> xkbKeycodeForKeyCode(qint64 keyCode);

// The key code of a key event: from its native scan code (the xkb number above) when the platform
// gives one, so the key pressed is the key stored whatever the layout types on it (none for a key
// without a row); else from its native keysym read as the US layout reads it; else from the Qt
// key number (printable keys are their upper-case character there).
std::optional<qint64> keyCodeForKeyEvent(int qtKey, quint32 nativeKeysym, quint32 nativeScanCode);

// The keysym of a shortcut's key for desktops that bind keys by what they type: for a character
// key, the character its label shows, which is what the key typed in the layout it was recorded
// in, when that is one Latin-1 character the key gives without Shift (any letter, or any
// character recorded without Shift); otherwise the key code's keysym, as for every key a layout
// does not change and every shortcut recorded on a US layout.
std::optional<quint32> keysymForShortcut(const Shortcut& shortcut);

// The Qt key number of that key, as KDE's global shortcut service takes it: a printable key is its
// upper-case character, a keypad key carries Qt::KeypadModifier; none for an unknown key code.
std::optional<int> qtKeyForShortcut(const Shortcut& shortcut);

} // namespace tessary
