#pragma once

#include "hotkey/Shortcut.h"

#include <QList>
#include <QString>

#include <optional>

namespace tessary::gnomekeys {

// One key with its modifiers, in a form where spellings GNOME treats alike compare equal:
// "<Primary><Shift>e" and "<Shift><Control>E" are the same combination.
struct Combo {
    enum Modifier : unsigned { shift = 1, control = 2, alt = 4, super = 8 };
    unsigned modifiers = 0;
    quint32 keysym = 0; // lower case

    friend bool operator==(const Combo&, const Combo&) = default;
};

// The shortcut as GNOME writes accelerators ("<Shift><Super>o", "<Control><Alt>space"); none for a
// key code with no keysym.
std::optional<QString> acceleratorOf(const Shortcut& shortcut);
// An accelerator read the way GNOME reads it; none for an empty one or a name it does not know.
std::optional<Combo> parseAccelerator(const QString& text);

// Every combination GNOME's own key bindings hold in this session: the window manager's, the
// shell's, the media keys' and the shortcuts the user made in Settings. Read from their settings,
// which are local reads, not bus calls.
QList<Combo> boundCombos();

} // namespace tessary::gnomekeys
