#include "hotkey/KeyCodes.h"

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
};

// Keysym values are X11's (X11/keysymdef.h); they are spelled out here so core code needs no X
// header. The Help key of Apple keyboards sits where PC keyboards have Insert.
constexpr KeyRow keyTable[] = {
    {0, 'a', 'A', 0},
    {1, 's', 'S', 0},
    {2, 'd', 'D', 0},
    {3, 'f', 'F', 0},
    {4, 'h', 'H', 0},
    {5, 'g', 'G', 0},
    {6, 'z', 'Z', 0},
    {7, 'x', 'X', 0},
    {8, 'c', 'C', 0},
    {9, 'v', 'V', 0},
    {11, 'b', 'B', 0},
    {12, 'q', 'Q', 0},
    {13, 'w', 'W', 0},
    {14, 'e', 'E', 0},
    {15, 'r', 'R', 0},
    {16, 'y', 'Y', 0},
    {17, 't', 'T', 0},
    {18, '1', '!', 0},
    {19, '2', '@', 0},
    {20, '3', '#', 0},
    {21, '4', '$', 0},
    {22, '6', '^', 0},
    {23, '5', '%', 0},
    {24, '=', '+', 0},
    {25, '9', '(', 0},
    {26, '7', '&', 0},
    {27, '-', '_', 0},
    {28, '8', '*', 0},
    {29, '0', ')', 0},
    {30, ']', '}', 0},
    {31, 'o', 'O', 0},
    {32, 'u', 'U', 0},
    {33, '[', '{', 0},
    {34, 'i', 'I', 0},
    {35, 'p', 'P', 0},
    {37, 'l', 'L', 0},
    {38, 'j', 'J', 0},
    {39, '\'', '"', 0},
    {40, 'k', 'K', 0},
    {41, ';', ':', 0},
    {42, '\\', '|', 0},
    {43, ',', '<', 0},
    {44, '/', '?', 0},
    {45, 'n', 'N', 0},
    {46, 'm', 'M', 0},
    {47, '.', '>', 0},
    {49, ' ', 0, 0},
    {50, '`', '~', 0},
    {36, 0xff0d, 0, Qt::Key_Return},
    {48, 0xff09, 0xfe20, Qt::Key_Tab}, // Shift+Tab is ISO_Left_Tab
    {51, 0xff08, 0, Qt::Key_Backspace},
    {53, 0xff1b, 0, Qt::Key_Escape},
    {65, 0xffae, 0, 0}, // keypad decimal
    {67, 0xffaa, 0, 0}, // keypad multiply
    {69, 0xffab, 0, 0}, // keypad plus
    {75, 0xffaf, 0, 0}, // keypad divide
    {76, 0xff8d, 0, Qt::Key_Enter},
    {78, 0xffad, 0, 0}, // keypad minus
    {81, 0xffbd, 0, 0}, // keypad equals
    {82, 0xffb0, 0, 0},
    {83, 0xffb1, 0, 0},
    {84, 0xffb2, 0, 0},
    {85, 0xffb3, 0, 0},
    {86, 0xffb4, 0, 0},
    {87, 0xffb5, 0, 0},
    {88, 0xffb6, 0, 0},
    {89, 0xffb7, 0, 0},
    {91, 0xffb8, 0, 0},
    {92, 0xffb9, 0, 0},
    {122, 0xffbe, 0, Qt::Key_F1},
    {120, 0xffbf, 0, Qt::Key_F2},
    {99, 0xffc0, 0, Qt::Key_F3},
    {118, 0xffc1, 0, Qt::Key_F4},
    {96, 0xffc2, 0, Qt::Key_F5},
    {97, 0xffc3, 0, Qt::Key_F6},
    {98, 0xffc4, 0, Qt::Key_F7},
    {100, 0xffc5, 0, Qt::Key_F8},
    {101, 0xffc6, 0, Qt::Key_F9},
    {109, 0xffc7, 0, Qt::Key_F10},
    {103, 0xffc8, 0, Qt::Key_F11},
    {111, 0xffc9, 0, Qt::Key_F12},
    {105, 0xffca, 0, Qt::Key_F13},
    {107, 0xffcb, 0, Qt::Key_F14},
    {113, 0xffcc, 0, Qt::Key_F15},
    {106, 0xffcd, 0, Qt::Key_F16},
    {64, 0xffce, 0, Qt::Key_F17},
    {79, 0xffcf, 0, Qt::Key_F18},
    {80, 0xffd0, 0, Qt::Key_F19},
    {90, 0xffd1, 0, Qt::Key_F20},
    {114, 0xff63, 0, Qt::Key_Insert},
    {115, 0xff50, 0, Qt::Key_Home},
    {116, 0xff55, 0, Qt::Key_PageUp},
    {117, 0xffff, 0, Qt::Key_Delete},
    {119, 0xff57, 0, Qt::Key_End},
    {121, 0xff56, 0, Qt::Key_PageDown},
    {123, 0xff51, 0, Qt::Key_Left},
    {124, 0xff53, 0, Qt::Key_Right},
    {125, 0xff54, 0, Qt::Key_Down},
    {126, 0xff52, 0, Qt::Key_Up},
};

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

std::optional<int> qtKeyForKeyCode(qint64 keyCode)
{
    const KeyRow* row = findRow([&](const KeyRow& r) { return r.keyCode == keyCode; });
    if (!row)
        return std::nullopt;
    if (row->qtKey != 0)
        return row->qtKey;
    if (row->keysym < 0x7f)
        return int(QChar::toUpper(row->keysym));
    // The keypad's keysyms: KP_Multiply (0xffaa) to KP_9 (0xffb9) in ASCII's order from "*", and KP_Equal.
    if (row->keysym >= 0xffaa && row->keysym <= 0xffb9)
        return int(Qt::KeypadModifier) | int('*' + (row->keysym - 0xffaa));
    if (row->keysym == 0xffbd)
        return int(Qt::KeypadModifier) | int('=');
    return std::nullopt;
}

std::optional<qint64> keyCodeForKeyEvent(int qtKey, quint32 nativeKeysym)
{
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

} // namespace tessary
