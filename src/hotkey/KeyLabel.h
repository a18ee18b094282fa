#pragma once

#include <QString>
#include <Qt>

#include <optional>

namespace tessary {

// The label a new shortcut stores for its key: the fixed name of Space, Return, Tab, the arrows
// and F1-F9; otherwise the key's character ignoring modifiers, upper-cased (Alt+Super+K is "K");
// "?" when the key has none. `text` and `qtKey` are the key event's; a text that is a control
// character (what Ctrl+K types) does not count, the key's own character is used instead.
QString keyLabel(qint64 keyCode, int qtKey, const QString& text);

// The label of a key code alone, for shortcuts given as numbers: as `keyLabel` would give it, "?"
// for a key that types nothing; empty for an unknown key code.
QString keyLabelForKeyCode(qint64 keyCode);

// The key code whose label this is ("O", "Space", "↩", "F12"), in any case; none when no key has it.
std::optional<qint64> keyCodeForLabel(const QString& label);

// The modifier bits of a key event's modifiers: Meta (the Super key) is Command, Alt is Option.
// Keypad, group-switch and other modifiers are dropped.
qint64 carbonModifiers(Qt::KeyboardModifiers modifiers);

} // namespace tessary
