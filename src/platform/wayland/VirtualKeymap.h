#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>

#include <cstdint>
#include <limits>
#include <optional>

namespace tessary {

// The keymap of our own virtual keyboard on Wayland, in evdev key codes (the XKB keycode is 8
// more). Every key types one keysym on its only level, so a character never needs Shift and the
// state of the user's keyboard cannot change what we type: "A" is a key of its own, as is "é".
// Printable ASCII, which is what codes are made of, is always there; other characters are put on
// spare keys as they are needed. The keys stop at XKB keycode 255, which XWayland can still
// forward; once every spare key carries a character, the one typed longest ago gives its key to
// the new one (never a key that is down).
class VirtualKeymap {
public:
    // The four modifiers that turn a key into a shortcut, on the codes of a PC keyboard's left-hand
    // keys, so applications name them as they name the real ones.
    struct ModifierKey {
        unsigned key;
        const char* keysym;
        const char* modifier;
    };
    static const QList<ModifierKey>& modifierKeys();

    // `spareKeys` limits the keys for characters beyond ASCII; by default every key left is one.
    explicit VirtualKeymap(int spareKeys = std::numeric_limits<int>::max());

    struct Placement {
        unsigned key = 0;
        bool keymapChanged = false; // the keymap must be sent again before the key is pressed
    };
    // The key that types `keysym`: the one that already does, else a free spare key, else the
    // spare key used longest ago that is not in `keysDown`. None when every spare key is down.
    std::optional<Placement> place(std::uint32_t keysym, const QSet<unsigned>& keysDown);

    // Whether `keysym` is one of the keys always there (printable ASCII), not a spare key's.
    static bool isFixed(std::uint32_t keysym);

    // The keymap in the XKB text format, as zwp_virtual_keyboard_v1 takes it.
    QByteArray text() const;

private:
    struct Slot {
        unsigned key = 0;
        std::uint32_t keysym = 0; // 0: free
        bool fixed = false;       // printable ASCII: never given away
        std::uint64_t lastUse = 0;
    };

    QList<Slot> m_slots;
    std::uint64_t m_uses = 0;
};

} // namespace tessary
