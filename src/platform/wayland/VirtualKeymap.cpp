#include "platform/wayland/VirtualKeymap.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>

namespace tessary {

namespace {

// Printable ASCII, the characters with a key of their own.
constexpr std::uint32_t firstFixed = 0x20;
constexpr std::uint32_t lastFixed = 0x7e;

// XKB keycode 255, the last one X11 clients (XWayland) can receive.
constexpr unsigned lastKey = 255 - 8;

// Keys we never put a character on. Web pages and toolkits read some keys by their code rather
// than by what they type ("Enter", "Escape", "Tab", the arrows): a digit on such a key could
// submit a form or close a dialog. Lock keys and the power and sleep keys are left alone too.
bool reserved(unsigned key)
{
    static const QSet<unsigned> keys = {
        1,   14,  15,  28,  54,  58,  69,  70,  96,  97,  100, 102, 103, 104, 105, 106, 107,
        108, 109, 110, 111, 113, 114, 115, 116, 117, 118, 119, 120, 126, 127, 142, 143, 205,
    };
    if (keys.contains(key))
        return true;
    const QList<VirtualKeymap::ModifierKey>& modifiers = VirtualKeymap::modifierKeys();
    return std::any_of(modifiers.cbegin(), modifiers.cend(),
                       [key](const VirtualKeymap::ModifierKey& modifier) { return modifier.key == key; });
}

QByteArray keysymName(std::uint32_t keysym)
{
    char name[64] = {};
    if (xkb_keysym_get_name(keysym, name, sizeof name) <= 0)
        return QByteArrayLiteral("NoSymbol");
    return QByteArray(name);
}

QByteArray keyName(unsigned key)
{
    return QByteArrayLiteral("<K") + QByteArray::number(key) + '>';
}

} // namespace

const QList<VirtualKeymap::ModifierKey>& VirtualKeymap::modifierKeys()
{
    static const QList<ModifierKey> keys = {
        {42, "Shift_L", "Shift"},
        {29, "Control_L", "Control"},
        {56, "Alt_L", "Mod1"},
        {125, "Super_L", "Mod4"},
    };
    return keys;
}

VirtualKeymap::VirtualKeymap(int spareKeys)
{
    unsigned key = 1;
    const auto nextKey = [&key]() -> unsigned {
        while (key <= lastKey && reserved(key))
            ++key;
        return key <= lastKey ? key++ : 0;
    };
    for (std::uint32_t character = firstFixed; character <= lastFixed; ++character)
        m_slots.append(Slot{.key = nextKey(), .keysym = xkb_utf32_to_keysym(character), .fixed = true});
    for (int spare = 0; spare < spareKeys; ++spare) {
        const unsigned free = nextKey();
        if (!free)
            break;
        m_slots.append(Slot{.key = free});
    }
}

std::optional<VirtualKeymap::Placement> VirtualKeymap::place(std::uint32_t keysym,
                                                             const QSet<unsigned>& keysDown)
{
    if (!keysym)
        return std::nullopt;
    ++m_uses;
    const auto placed = std::find_if(m_slots.begin(), m_slots.end(),
                                     [keysym](const Slot& slot) { return slot.keysym == keysym; });
    if (placed != m_slots.end()) {
        placed->lastUse = m_uses;
        return Placement{placed->key, false};
    }
    // A free key has never been used, so the key used longest ago is a free one while any is left.
    Slot* chosen = nullptr;
    for (Slot& slot : m_slots)
        if (!slot.fixed && !keysDown.contains(slot.key) && (!chosen || slot.lastUse < chosen->lastUse))
            chosen = &slot;
    if (!chosen)
        return std::nullopt;
    chosen->keysym = keysym;
    chosen->lastUse = m_uses;
    return Placement{chosen->key, true};
}

bool VirtualKeymap::isFixed(std::uint32_t keysym)
{
    // The keysyms of printable ASCII are its code points.
    return keysym >= firstFixed && keysym <= lastFixed;
}

QByteArray VirtualKeymap::text() const
{
    QByteArray keycodes = "xkb_keycodes \"tessary\" {\n    minimum = 8;\n    maximum = 255;\n";
    QByteArray symbols = "xkb_symbols \"tessary\" {\n";
    const auto addKey = [&](unsigned key, const QByteArray& keysym) {
        keycodes += "    " + keyName(key) + " = " + QByteArray::number(key + 8) + ";\n";
        symbols += "    key " + keyName(key) + " { [ " + keysym + " ] };\n";
    };
    for (const ModifierKey& modifier : modifierKeys()) {
        addKey(modifier.key, modifier.keysym);
        symbols +=
            "    modifier_map " + QByteArray(modifier.modifier) + " { " + keyName(modifier.key) + " };\n";
    }
    for (const Slot& slot : m_slots)
        if (slot.keysym)
            addKey(slot.key, keysymName(slot.keysym));
    // The key types and the modifiers' actions are the stock ones; the compositor resolves them.
    return "xkb_keymap {\n" + keycodes + "};\n" +
           "xkb_types \"tessary\" { include \"complete\" };\n"
           "xkb_compatibility \"tessary\" { include \"complete\" };\n" +
           symbols + "};\n};\n";
}

} // namespace tessary
