#pragma once

#include <optional>

namespace tessary {

// The keysyms on a keycode's first two levels: plain, and with Shift.
struct KeyLevels {
    unsigned long plain = 0;
    unsigned long shifted = 0;
};

// Whether Shift must be held for a key with these levels to type `keysym`; none when the keysym
// is on neither level. Caps Lock moves a letter key (its levels are a letter's two cases) to its
// second level, and Shift then moves it back: the server and every toolkit read the key so.
std::optional<bool> shiftFor(unsigned long keysym, const KeyLevels& levels, bool capsLock);

// The levels a spare keycode gets for typing `keysym`: a letter's two cases, so Caps Lock treats
// it as it treats every letter key instead of a toolkit changing its case behind our back; any
// other keysym on both levels.
KeyLevels spareLevels(unsigned long keysym);

} // namespace tessary
