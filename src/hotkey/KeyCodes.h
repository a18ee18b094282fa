#pragma once

#include <QtGlobal>

#include <optional>

namespace tessary {

// Shortcuts are stored with the virtual key codes of the Apple ANSI keyboard (31 is O), so a
// settings file reads the same on every platform. This is the one table between those codes, X
// keysyms and Qt key numbers; the hot key and the recorder translate through it and nowhere else.

// The keysym of the key's unshifted character or function ("o", "Return", "F5"); none for a key
// code this system does not know.
std::optional<quint32> keysymForKeyCode(qint64 keyCode);

// The key code of a keysym, shifted forms of the US layout included ("O" and "o" are both 31,
// "exclam" is the 1 key); none for a key without a row.
std::optional<qint64> keyCodeForKeysym(quint32 keysym);

// The Qt key number of a key code, as KDE's global shortcut service takes it: a printable key is
// its upper-case character, a keypad key carries Qt::KeypadModifier; none for an unknown code.
std::optional<int> qtKeyForKeyCode(qint64 keyCode);

// The key code of a key event: from its native keysym when the platform gives one, else from the
// Qt key number (printable keys are their upper-case character there).
std::optional<qint64> keyCodeForKeyEvent(int qtKey, quint32 nativeKeysym);

} // namespace tessary
