#include "hotkey/KeyCodes.h"

#include "hotkey/Shortcut.h"

#include <QChar>
#include <Qt>

#include <algorithm>
#include <iterator>

namespace tessary {

namespace {

struct KeyRow {
    qint64 keyCode;
    quint32 keysym;        // unshifted
    quint32 shiftedKeysym; // what Shift gives on the US layout; 0 when nothing else
    int qtKey;             // for keys without a character; 0 for printable keys
    quint32 linuxKey;      // the kernel's number for the key at this place (linux/input-event-codes.h)
};

// Keysym values are X11's (X11/keysymdef.h); they are spelled out here so core code needs no X
// header. The Help key of Apple keyboards sits where PC keyboards have Insert.
constexpr KeyRow keyTable[] = {
    {0, 'a', 'A', 0, 30},
    {1, 's', 'S', 0, 31},
    {2, 'd', 'D', 0, 32},
    {3, 'f', 'F', 0, 33},
    {4, 'h', 'H', 0, 35},
    {5, 'g', 'G', 0, 34},
    {6, 'z', 'Z', 0, 44},
    {7, 'x', 'X', 0, 45},
    {8, 'c', 'C', 0, 46},
    {9, 'v', 'V', 0, 47},
    {11, 'b', 'B', 0, 48},
    {12, 'q', 'Q', 0, 16},
    {13, 'w', 'W', 0, 17},
    {14, 'e', 'E', 0, 18},
    {15, 'r', 'R', 0, 19},
    {16, 'y', 'Y', 0, 21},
    {17, 't', 'T', 0, 20},
    {18, '1', '!', 0, 2},
    {19, '2', '@', 0, 3},
    {20, '3', '#', 0, 4},
    {21, '4', '$', 0, 5},
    {22, '6', '^', 0, 7},
    {23, '5', '%', 0, 6},
    {24, '=', '+', 0, 13},
    {25, '9', '(', 0, 10},
    {26, '7', '&', 0, 8},
    {27, '-', '_', 0, 12},
    {28, '8', '*', 0, 9},
    {29, '0', ')', 0, 11},
    {30, ']', '}', 0, 27},
    {31, 'o', 'O', 0, 24},
    {32, 'u', 'U', 0, 22},
    {33, '[', '{', 0, 26},
    {34, 'i', 'I', 0, 23},
    {35, 'p', 'P', 0, 25},
    {37, 'l', 'L', 0, 38},
    {38, 'j', 'J', 0, 36},
    {39, '\'', '"', 0, 40},
    {40, 'k', 'K', 0, 37},
    {41, ';', ':', 0, 39},
    {42, '\\', '|', 0, 43},
    {43, ',', '<', 0, 51},
    {44, '/', '?', 0, 53},
    {45, 'n', 'N', 0, 49},
    {46, 'm', 'M', 0, 50},
    {47, '.', '>', 0, 52},
    {49, ' ', 0, 0, 57},
    {50, '`', '~', 0, 41},
    {36, 0xff0d, 0, Qt::Key_Return, 28},
    {48, 0xff09, 0xfe20, Qt::Key_Tab, 15}, // Shift+Tab is ISO_Left_Tab
    {51, 0xff08, 0, Qt::Key_Backspace, 14},
    {53, 0xff1b, 0, Qt::Key_Escape, 1},
    {65, 0xffae, 0, 0, 83}, // keypad decimal
    {67, 0xffaa, 0, 0, 55}, // keypad multiply
    {69, 0xffab, 0, 0, 78}, // keypad plus
    {75, 0xffaf, 0, 0, 98}, // keypad divide
    {76, 0xff8d, 0, Qt::Key_Enter, 96},
    {78, 0xffad, 0, 0, 74},  // keypad minus
    {81, 0xffbd, 0, 0, 117}, // keypad equals
    {82, 0xffb0, 0, 0, 82},
    {83, 0xffb1, 0, 0, 79},
    {84, 0xffb2, 0, 0, 80},
    {85, 0xffb3, 0, 0, 81},
    {86, 0xffb4, 0, 0, 75},
    {87, 0xffb5, 0, 0, 76},
    {88, 0xffb6, 0, 0, 77},
    {89, 0xffb7, 0, 0, 71},
    {91, 0xffb8, 0, 0, 72},
    {92, 0xffb9, 0, 0, 73},
    {122, 0xffbe, 0, Qt::Key_F1, 59},
    {120, 0xffbf, 0, Qt::Key_F2, 60},
    {99, 0xffc0, 0, Qt::Key_F3, 61},
    {118, 0xffc1, 0, Qt::Key_F4, 62},
    {96, 0xffc2, 0, Qt::Key_F5, 63},
    {97, 0xffc3, 0, Qt::Key_F6, 64},
    {98, 0xffc4, 0, Qt::Key_F7, 65},
    {100, 0xffc5, 0, Qt::Key_F8, 66},
    {101, 0xffc6, 0, Qt::Key_F9, 67},
    {109, 0xffc7, 0, Qt::Key_F10, 68},
    {103, 0xffc8, 0, Qt::Key_F11, 87},
    {111, 0xffc9, 0, Qt::Key_F12, 88},
    {105, 0xffca, 0, Qt::Key_F13, 183},
    {107, 0xffcb, 0, Qt::Key_F14, 184},
    {113, 0xffcc, 0, Qt::Key_F15, 185},
    {106, 0xffcd, 0, Qt::Key_F16, 186},
    {64, 0xffce, 0, Qt::Key_F17, 187},
    {79, 0xffcf, 0, Qt::Key_F18, 188},
    {80, 0xffd0, 0, Qt::Key_F19, 189},
    {90, 0xffd1, 0, Qt::Key_F20, 190},
    {114, 0xff63, 0, Qt::Key_Insert, 110},
    {115, 0xff50, 0, Qt::Key_Home, 102},
    {116, 0xff55, 0, Qt::Key_PageUp, 104},
    {117, 0xffff, 0, Qt::Key_Delete, 111},
    {119, 0xff57, 0, Qt::Key_End, 107},
    {121, 0xff56, 0, Qt::Key_PageDown, 109},
    {123, 0xff51, 0, Qt::Key_Left, 105},
    {124, 0xff53, 0, Qt::Key_Right, 106},
    {125, 0xff54, 0, Qt::Key_Down, 108},
    {126, 0xff52, 0, Qt::Key_Up, 103},
};

// X servers and Wayland compositors number a key as the kernel does, plus 8.
constexpr quint32 xkbKeycodeOffset = 8;

template <class Predicate>
const KeyRow* findRow(Predicate predicate)
{
    const auto row = std::find_if(std::begin(keyTable), std::end(keyTable), predicate);
    return row == std::end(keyTable) ? nullptr : row;
}

} // namespace

std::optional<quint32> keysymForKeyCode(qint64 keyCode)
{
    if (const KeyRow* row = findRow([&](const KeyRow& r) { return r.keyCode == keyCode; }))
        return row->keysym;
    return std::nullopt;
}

std::optional<qint64> keyCodeForKeysym(quint32 keysym)
{
    if (keysym == 0)
        return std::nullopt;
    if (const KeyRow* row =
            findRow([&](const KeyRow& r) { return r.keysym == keysym || r.shiftedKeysym == keysym; }))
        return row->keyCode;
    return std::nullopt;
}

std::optional<quint32> xkbKeycodeForKeyCode(qint64 keyCode)
{
    if (const KeyRow* row = findRow([&](const KeyRow& r) { return r.keyCode == keyCode; }))
        return row->linuxKey + xkbKeycodeOffset;
    return std::nullopt;
}

std::optional<qint64> keyCodeForKeyEvent(int qtKey, quint32 nativeKeysym, quint32 nativeScanCode)
{
    // A key without a row is none, not the key the US layout has its character on.
    if (nativeScanCode != 0) {
        const KeyRow* row =
            findRow([&](const KeyRow& r) { return r.linuxKey + xkbKeycodeOffset == nativeScanCode; });
        return row ? std::optional<qint64>(row->keyCode) : std::nullopt;
    }
    if (const std::optional<qint64> fromKeysym = keyCodeForKeysym(nativeKeysym))
        return fromKeysym;
    // Qt numbers a printable key by its character, which is also its Latin-1 keysym.
    if (qtKey >= 0x20 && qtKey <= 0x7e)
        return keyCodeForKeysym(quint32(qtKey));
    if (qtKey == Qt::Key_Backtab)
        qtKey = Qt::Key_Tab;
    if (const KeyRow* row = findRow([&](const KeyRow& r) { return r.qtKey != 0 && r.qtKey == qtKey; }))
        return row->keyCode;
    return std::nullopt;
}

std::optional<quint32> keysymForShortcut(const Shortcut& shortcut)
{
    const KeyRow* row = findRow([&](const KeyRow& r) { return r.keyCode == shortcut.keyCode; });
    if (!row)
        return std::nullopt;
    const bool characterKey = row->keysym > 0x20 && row->keysym < 0x7f;
    if (!characterKey || shortcut.key.size() != 1)
        return row->keysym;
    const QChar typed = shortcut.key.at(0).toLower();
    const bool latin1 = typed.unicode() < 0x100 && typed.isPrint();
    // With Shift a letter shows its capital, but another key shows its shifted symbol.
    const bool unshifted = !(shortcut.modifiers & modifier::shift) || typed != shortcut.key.at(0);
    return latin1 && unshifted ? quint32(typed.unicode()) : row->keysym;
}

std::optional<int> qtKeyForShortcut(const Shortcut& shortcut)
{
    const KeyRow* row = findRow([&](const KeyRow& r) { return r.keyCode == shortcut.keyCode; });
    if (!row)
        return std::nullopt;
    if (row->qtKey != 0)
        return row->qtKey;
    const quint32 keysym = keysymForShortcut(shortcut).value_or(row->keysym);
    if (keysym < 0x100)
        return int(QChar::toUpper(keysym));
    // The keypad's keysyms: KP_Multiply (0xffaa) to KP_9 (0xffb9) in ASCII's order from "*", and KP_Equal.
    if (keysym >= 0xffaa && keysym <= 0xffb9)
        return int(Qt::KeypadModifier) | int('*' + (keysym - 0xffaa));
    if (keysym == 0xffbd)
        return int(Qt::KeypadModifier) | int('=');
    return std::nullopt;
}

} // namespace tessary
