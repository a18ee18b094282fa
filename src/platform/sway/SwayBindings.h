#pragma once

#include "hotkey/Shortcut.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace tessary::swaybind {

// Modifier bits in xkb's order, as sway keeps them.
namespace mod {
inline constexpr quint32 shift = 1u << 0;
inline constexpr quint32 lock = 1u << 1;
inline constexpr quint32 ctrl = 1u << 2;
inline constexpr quint32 alt = 1u << 3; // Mod1
inline constexpr quint32 mod2 = 1u << 4;
inline constexpr quint32 mod3 = 1u << 5;
inline constexpr quint32 mod4 = 1u << 6; // the Super key
inline constexpr quint32 mod5 = 1u << 7;
} // namespace mod

// One key with its modifiers, in a form where spellings sway treats alike compare equal:
// "Control+Shift+E" and "shift+ctrl+e" are the same combination.
struct Combo {
    quint32 modifiers = 0;
    quint32 keysym = 0; // lower case, as sway looks names up case-insensitively

    friend bool operator==(const Combo&, const Combo&) = default;
};

// The combination in sway's own names ("Ctrl+Shift+e", "Mod4+F5", "Ctrl+Alt+comma"), Ctrl, Alt,
// Shift, Mod4 in that order; none for a key code with no keysym.
std::optional<QString> comboText(const Shortcut& shortcut);

// A bindsym key combination read the way sway reads it; none for a mouse button, a combination of
// several keys (sway's multi-key bindings cannot collide with a single key) or a name it does not know.
std::optional<Combo> parseCombo(const QString& text);

// One file an include line names.
struct IncludedFile {
    QString path;
    QString text;
};
// The files an include line names: `pattern` as the line has it once its variables are expanded
// (a path, "~" and globs allowed), `folder` the one of the file the line stands in.
using IncludeReader = std::function<QList<IncludedFile>(const QString& pattern, const QString& folder)>;

// Every keyboard binding of the default mode in a config file's text, with its variables ($mod)
// expanded, the files it includes read through `include` as sway reads them, each once. Other
// modes are left out: their bindings only act while the user is in them. A bindcode line counts as
// the letter its key gives in the layout sway binds letters to keys with (--to-code): the first
// layout of the first input that sets layouts. `folder` is the config file's.
QList<Combo> configBindings(const QString& config, const IncludeReader& include = {},
                            const QString& folder = {});

// The combination as one element of a D-Bus name ("key_Ctrl_Shift_e").
QString busNameElement(const QString& comboText);

} // namespace tessary::swaybind
