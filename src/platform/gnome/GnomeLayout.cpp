#include "platform/gnome/GnomeLayout.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>

namespace tessary {

GnomeLayout::GnomeLayout(const QString& layouts, const QString& variants, const QString& options, uint group)
    : m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS))
    , m_group(group)
{
    if (!m_context)
        return;
    const QByteArray layout = layouts.isEmpty() ? QByteArrayLiteral("us") : layouts.toUtf8();
    const QByteArray variant = variants.toUtf8();
    const QByteArray option = options.toUtf8();
    const xkb_rule_names names{.rules = "evdev",
                               .model = "pc105",
                               .layout = layout.constData(),
                               .variant = variant.constData(),
                               .options = option.constData()};
    m_keymap = xkb_keymap_new_from_names(m_context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
}

GnomeLayout::~GnomeLayout()
{
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

bool GnomeLayout::types(std::uint32_t keysym) const
{
    if (!m_keymap || m_group >= xkb_keymap_num_layouts(m_keymap))
        return false;
    // Keys past 255 (evdev's Euro and Dollar keys carry € and $) never reach XWayland's clients.
    const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(m_keymap), 255);
    for (xkb_keycode_t key = xkb_keymap_min_keycode(m_keymap); key <= last; ++key) {
        const xkb_layout_index_t group =
            m_group < xkb_keymap_num_layouts_for_key(m_keymap, key) ? m_group : 0;
        const xkb_level_index_t levels = std::min(xkb_keymap_num_levels_for_key(m_keymap, key, group), 2u);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* syms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(m_keymap, key, group, level, &syms);
            for (int i = 0; i < count; ++i) {
                if (syms[i] == keysym)
                    return true;
            }
        }
    }
    return false;
}

std::uint32_t keysymOf(char32_t codePoint)
{
    return xkb_utf32_to_keysym(codePoint);
}

} // namespace tessary
