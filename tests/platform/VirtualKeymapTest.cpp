#include "platform/linux/VirtualKeymap.h"

#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace tessary {
namespace {

// The keymap as the compositor compiles it, from the system's XKB data like sway does.
struct CompiledKeymap {
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context{xkb_context_new(XKB_CONTEXT_NO_FLAGS),
                                                                       xkb_context_unref};
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap{nullptr, xkb_keymap_unref};

    explicit CompiledKeymap(const QByteArray& text)
    {
        keymap.reset(xkb_keymap_new_from_string(context.get(), text.constData(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                XKB_KEYMAP_COMPILE_NO_FLAGS));
    }
    // What the key types with no modifier in effect.
    std::uint32_t keysymOf(unsigned key) const
    {
        std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state{xkb_state_new(keymap.get()),
                                                                     xkb_state_unref};
        return xkb_state_key_get_one_sym(state.get(), key + 8);
    }
};

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
        {'a', {}, true, false, 0},
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
        if (!placement)
            continue;
        EXPECT_EQ(placement->keymapChanged, row.changed);
        if (row.sameKeyAs) {
            EXPECT_EQ(placement->key, keyOf.value(row.sameKeyAs));
        }
        EXPECT_LE(placement->key + 8, 255u);
        keyOf.insert(row.keysym, placement->key);

        // The compositor's reading of the keymap: every key still placed types its keysym alone.
        const CompiledKeymap compiled(keymap.text());
        ASSERT_TRUE(compiled.keymap);
        EXPECT_EQ(compiled.keysymOf(placement->key), row.keysym);
        EXPECT_EQ(compiled.keysymOf(keyOf.value('4')), std::uint32_t('4'));
    }
    // Distinct keys for distinct characters still in the keymap.
    EXPECT_NE(keyOf.value('a'), keyOf.value('A'));
    EXPECT_NE(keyOf.value(smile), keyOf.value(ntilde));

    // The modifier keys put their modifiers in effect, so a key of ours held down is a real one.
    const CompiledKeymap compiled(keymap.text());
    for (const VirtualKeymap::ModifierKey& modifier : VirtualKeymap::modifierKeys()) {
        SCOPED_TRACE(modifier.keysym);
        std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state{xkb_state_new(compiled.keymap.get()),
                                                                     xkb_state_unref};
        xkb_state_update_key(state.get(), modifier.key + 8, XKB_KEY_DOWN);
        EXPECT_EQ(xkb_state_mod_name_is_active(state.get(), modifier.modifier, XKB_STATE_MODS_DEPRESSED), 1);
    }
    // Printable ASCII stays where it is, and off the modifiers' keys and those that pages read by
    // their code (Escape, Backspace, Tab, Enter).
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

} // namespace
} // namespace tessary
