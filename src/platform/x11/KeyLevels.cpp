#include "platform/x11/KeyLevels.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace tessary {

namespace {

bool isLetterKey(const KeyLevels& levels)
{
    KeySym lower = NoSymbol, upper = NoSymbol;
    XConvertCase(levels.plain, &lower, &upper);
    return lower != upper && lower == levels.plain && upper == levels.shifted;
}

} // namespace

std::optional<bool> shiftFor(unsigned long keysym, const KeyLevels& levels, bool capsLock)
{
    const bool inverted = capsLock && isLetterKey(levels);
    if (keysym != NoSymbol && levels.plain == keysym)
        return inverted;
    if (keysym != NoSymbol && levels.shifted == keysym)
        return !inverted;
    return std::nullopt;
}

KeyLevels spareLevels(unsigned long keysym)
{
    KeySym lower = NoSymbol, upper = NoSymbol;
    XConvertCase(keysym, &lower, &upper);
    if (lower != upper)
        return KeyLevels{lower, upper};
    return KeyLevels{keysym, keysym};
}

} // namespace tessary
