#pragma once

#include <QString>

#include <optional>

namespace tessary {

// Modifier bits of a shortcut in the Carbon encoding, the stored format on every platform.
namespace modifier {
inline constexpr qint64 command = 256; // the Super key on Linux
inline constexpr qint64 shift = 512;
inline constexpr qint64 option = 2048; // Alt
inline constexpr qint64 control = 4096;
} // namespace modifier

// The "Fill newest code" key combination: a platform-neutral virtual key code (31 is O), the
// modifier bits above and the label the user sees for the key ("O", "Space", "F5", "↩").
struct Shortcut {
    qint64 keyCode = 0;
    qint64 modifiers = 0;
    QString key;

    // As the desktop writes it: "Shift+Ctrl+Alt+Super+" in that fixed order, whatever order the
    // keys were pressed in, then the key ("Shift+Super+O", "Ctrl+Alt+Space", "Super+Return").
    QString display() const;
    // Shift+Super+O, or Ctrl+Alt+O in a developer build so it can run beside a normal one.
    static const Shortcut& defaultShortcut();
    static Shortcut defaultShortcutFor(bool developerBuild);

    friend bool operator==(const Shortcut&, const Shortcut&) = default;
};

// The message shown when the system refuses a combination; "That shortcut" stands for none.
QString shortcutConflictMessage(const std::optional<Shortcut>& refused);
// The message shown when the session offers no global hot key to any application.
QString shortcutUnavailableMessage();

// Reads a shortcut written as shown ("Shift+Super+O", "Ctrl+Alt+Space"), in the older symbol form
// ("⇧⌘O", "⌘F5") or as "keyCode:modifiers" ("31:768"); none when the text names no known key or no
// modifier.
std::optional<Shortcut> parseShortcut(const QString& text);

} // namespace tessary
