#include "platform/wayland/LayerSurface.h"
#include "platform/wayland/VirtualKeymap.h"

#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace tessary {
namespace {

using State = std::unique_ptr<xkb_state, decltype(&xkb_state_unref)>;

// The keymap compiled from the system's XKB data as the compositor does, with `key` down.
State withKeyDown(const QByteArray& text, unsigned key)
{
    static xkb_context* const context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = xkb_keymap_new_from_string(context, text.constData(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                    XKB_KEYMAP_COMPILE_NO_FLAGS);
    State state{keymap ? xkb_state_new(keymap) : nullptr, xkb_state_unref};
    xkb_keymap_unref(keymap); // the state holds its own reference
    if (state)
        xkb_state_update_key(state.get(), key + 8, XKB_KEY_DOWN);
    return state;
}

TEST(VirtualKeymapPlacement, CharactersGetKeysOfTheirOwnAndTheOldestSpareGivesWay)
{
    VirtualKeymap keymap(2);
    const std::uint32_t eacute = xkb_utf32_to_keysym(U'é'), euro = xkb_utf32_to_keysym(U'€'),
                        smile = xkb_utf32_to_keysym(U'😀'), ntilde = xkb_utf32_to_keysym(U'ñ');
    QHash<std::uint32_t, unsigned> keyOf; // where each keysym was last placed
    const struct {
        std::uint32_t keysym;
        QList<std::uint32_t> down; // keysyms whose keys are down
        bool placed;
        bool changed;
        std::uint32_t sameKeyAs; // 0: any key, else the key this keysym had
    } rows[] = {
        {'4', {}, true, false, 0}, // ASCII is there from the start...
        {'A', {}, true, false, 0}, // ...each case on a key of its own
        {eacute, {}, true, true, 0},
        {euro, {}, true, true, 0},
        {eacute, {}, true, false, eacute}, // placed once, typed again at no cost
        {smile, {}, true, true, euro},     // both spares taken: the one used longest ago gives way
        {ntilde, {smile}, true, true, eacute},
        {euro, {smile, ntilde}, false, false, 0}, // every spare down: nothing to take
        {'4', {smile, ntilde}, true, false, '4'}, // ASCII is never given away
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "keysym 0x" << std::hex << row.keysym);
        QSet<unsigned> down;
        for (std::uint32_t held : row.down)
            down.insert(keyOf.value(held));
        const auto placement = keymap.place(row.keysym, down);
        ASSERT_EQ(placement.has_value(), row.placed);
        if (!row.placed)
            continue;
        EXPECT_EQ(placement->keymapChanged, row.changed);
        EXPECT_TRUE(!row.sameKeyAs || placement->key == keyOf.value(row.sameKeyAs));
        EXPECT_LE(placement->key + 8, 255u);
        keyOf.insert(row.keysym, placement->key);
        // The compositor's reading: each key still placed types its keysym alone.
        const auto state = withKeyDown(keymap.text(), placement->key);
        ASSERT_TRUE(state);
        EXPECT_EQ(xkb_state_key_get_one_sym(state.get(), placement->key + 8), row.keysym);
        EXPECT_EQ(xkb_state_key_get_one_sym(state.get(), keyOf.value('4') + 8), std::uint32_t('4'));
    }
    // The modifier keys put their modifiers in effect, so a key of ours held down is a real one.
    for (const VirtualKeymap::ModifierKey& modifier : VirtualKeymap::modifierKeys()) {
        SCOPED_TRACE(modifier.keysym);
        const auto state = withKeyDown(keymap.text(), modifier.key);
        EXPECT_EQ(xkb_state_mod_name_is_active(state.get(), modifier.modifier, XKB_STATE_MODS_DEPRESSED), 1);
    }
    // Printable ASCII stays, off the modifiers' keys and those pages read by code (Escape, Enter...).
    QSet<unsigned> asciiKeys;
    for (char32_t character = 0x20; character <= 0x7e; ++character) {
        const auto placement = keymap.place(xkb_utf32_to_keysym(character), {});
        ASSERT_TRUE(placement && !placement->keymapChanged);
        asciiKeys.insert(placement->key);
    }
    EXPECT_EQ(asciiKeys.size(), 95);
    for (const unsigned key : {1u, 14u, 15u, 28u, 42u, 29u, 56u, 125u})
        EXPECT_FALSE(asciiKeys.contains(key)) << key;
}

TEST(LayerSurfacePlacement, PicksTheOutputAndTheMarginFromItsCorner)
{
    // A 1280 × 1024 output, a 1920 × 1080 one to its right and a third above it, in desktop pixels.
    const QList<QRect> outputs = {{0, 0, 1280, 1024}, {1280, 0, 1920, 1080}, {1280, -900, 1600, 900}};
    const struct {
        const char* name;
        QPoint topLeft;
        std::optional<OutputPlacement> expected;
    } rows[] = {
        {"on the first", {100, 420}, OutputPlacement{0, {100, 420}}},
        {"on the second", {1500, 30}, OutputPlacement{1, {220, 30}}},
        {"above, on the third", {2000, -40}, OutputPlacement{2, {720, 860}}},
        {"below the first, kept inside it", {50, 1100}, OutputPlacement{0, {50, 1023}}},
        {"left of everything", {-30, 200}, OutputPlacement{0, {0, 200}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(placeOnOutputs(outputs, row.topLeft), row.expected);
    }
}

} // namespace
} // namespace tessary
