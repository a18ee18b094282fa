#include "platform/kwin/LayoutKeymap.h"

#include <xkbcommon/xkbcommon.h>

#include <memory>

namespace tessary {

namespace {

struct ContextFree {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapFree {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
using Context = std::unique_ptr<xkb_context, ContextFree>;
using Keymap = std::unique_ptr<xkb_keymap, KeymapFree>;

// The left Shift and right Alt keys of a PC keyboard, in evdev codes.
constexpr unsigned leftShiftKey = 42, rightAltKey = 100;
// X11 keycodes end at 255, evdev's 247 beneath: an XWayland window never sees a key beyond.
constexpr unsigned lastX11Key = 247;

} // namespace

class LayoutKeymapReader {
public:
    static std::optional<LayoutKeymap> read(xkb_keymap* keymap, xkb_layout_index_t layout)
    {
        if (!keymap || layout >= xkb_keymap_num_layouts(keymap))
            return std::nullopt;
        LayoutKeymapReader reader(keymap, layout);
        LayoutKeymap result;
        const xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
        for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= last; ++code)
            reader.addKey(result, code);
        return result;
    }

private:
    LayoutKeymapReader(xkb_keymap* keymap, xkb_layout_index_t layout)
        : m_keymap(keymap)
        , m_layout(layout)
        , m_shiftKey(keyTyping(XKB_KEY_Shift_L, leftShiftKey))
        , m_levelThreeKey(keyTyping(XKB_KEY_ISO_Level3_Shift, rightAltKey))
        , m_shift(xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT))
        , m_levelThree(xkb_keymap_mod_get_index(keymap, "Mod5"))
    {
    }

    // The layout a key types in: a key with fewer layouts than the keymap wraps round them, as
    // XKB does.
    xkb_layout_index_t layoutOf(xkb_keycode_t code) const
    {
        const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(m_keymap, code);
        return layouts ? m_layout % layouts : 0;
    }

    // The evdev code of a key typing `keysym` without modifiers: `usual` when it does (keymaps
    // also put modifiers on keys no keyboard has), else the first; 0 when there is none.
    unsigned keyTyping(xkb_keysym_t keysym, unsigned usual) const
    {
        const auto types = [&](xkb_keycode_t code) {
            const xkb_keysym_t* syms = nullptr;
            return xkb_keymap_key_get_syms_by_level(m_keymap, code, layoutOf(code), 0, &syms) == 1 &&
                   syms[0] == keysym;
        };
        if (types(usual + 8))
            return usual;
        const xkb_keycode_t last = xkb_keymap_max_keycode(m_keymap);
        for (xkb_keycode_t code = xkb_keymap_min_keycode(m_keymap); code <= last; ++code) {
            if (types(code))
                return code - 8;
        }
        return 0;
    }

    // The modifier keys that give `mask`, or none when it needs a modifier we cannot press.
    std::optional<QList<unsigned>> modifierKeys(xkb_mod_mask_t mask) const
    {
        QList<unsigned> keys;
        const auto take = [&](xkb_mod_index_t index, unsigned key) {
            if (index == XKB_MOD_INVALID || !(mask & (xkb_mod_mask_t(1) << index)))
                return true;
            mask &= ~(xkb_mod_mask_t(1) << index);
            keys.append(key);
            return key != 0;
        };
        if (!take(m_shift, m_shiftKey) || !take(m_levelThree, m_levelThreeKey) || mask != 0)
            return std::nullopt;
        return keys;
    }

    void addKey(LayoutKeymap& result, xkb_keycode_t code) const
    {
        const xkb_layout_index_t layout = layoutOf(code);
        const xkb_level_index_t levels = xkb_keymap_num_levels_for_key(m_keymap, code, layout);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* syms = nullptr;
            if (xkb_keymap_key_get_syms_by_level(m_keymap, code, layout, level, &syms) != 1)
                continue;
            xkb_mod_mask_t masks[16];
            const size_t count = xkb_keymap_key_get_mods_for_level(m_keymap, code, layout, level, masks, 16);
            for (size_t i = 0; i < count; ++i) {
                const std::optional<QList<unsigned>> modifiers = modifierKeys(masks[i]);
                if (!modifiers)
                    continue;
                const LayoutKeymap::Stroke stroke{*modifiers, code - 8};
                const auto known = result.m_strokes.constFind(syms[0]);
                if (known == result.m_strokes.cend() || plainer(stroke, *known))
                    result.m_strokes.insert(syms[0], stroke);
            }
        }
    }

    // A key XWayland windows see too first; then fewer modifiers; then Shift, which every layout
    // has, before AltGr.
    bool plainer(const LayoutKeymap::Stroke& a, const LayoutKeymap::Stroke& b) const
    {
        if ((a.key <= lastX11Key) != (b.key <= lastX11Key))
            return a.key <= lastX11Key;
        if (a.modifiers.size() != b.modifiers.size())
            return a.modifiers.size() < b.modifiers.size();
        return a.modifiers.contains(m_shiftKey) && !b.modifiers.contains(m_shiftKey);
    }

    xkb_keymap* m_keymap;
    xkb_layout_index_t m_layout;
    unsigned m_shiftKey;
    unsigned m_levelThreeKey;
    xkb_mod_index_t m_shift;
    xkb_mod_index_t m_levelThree;
};

std::optional<LayoutKeymap> LayoutKeymap::fromText(const QByteArray& text, unsigned layout)
{
    const Context context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context)
        return std::nullopt;
    const Keymap keymap(xkb_keymap_new_from_string(context.get(), text.constData(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                   XKB_KEYMAP_COMPILE_NO_FLAGS));
    return LayoutKeymapReader::read(keymap.get(), layout);
}

std::optional<LayoutKeymap> LayoutKeymap::fromNames(const QByteArray& layouts, unsigned layout)
{
    const Context context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context)
        return std::nullopt;
    xkb_rule_names names{};
    names.layout = layouts.constData();
    const Keymap keymap(xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    return LayoutKeymapReader::read(keymap.get(), layout);
}

std::optional<LayoutKeymap::Stroke> LayoutKeymap::strokeFor(std::uint32_t keysym) const
{
    const auto stroke = m_strokes.constFind(keysym);
    return stroke == m_strokes.cend() ? std::nullopt : std::optional<Stroke>(*stroke);
}

} // namespace tessary
