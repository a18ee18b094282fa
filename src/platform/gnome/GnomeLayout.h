#pragma once

#include <QString>

#include <cstdint>
#include <memory>

struct xkb_context;
struct xkb_keymap;

namespace tessary {

// Which keysyms the shell's active keyboard layout types. GNOME's virtual keyboard finds a key
// for a keysym in that layout only, adding Shift itself, and silently drops a keysym it has no
// key for; such characters must take another way.
class GnomeLayout {
public:
    // XKB names as the shell applies them (comma-separated groups); empty layouts are the
    // compositor's default, "us".
    GnomeLayout(const QString& layouts, const QString& variants, const QString& options, uint group);
    ~GnomeLayout();
    GnomeLayout(const GnomeLayout&) = delete;
    GnomeLayout& operator=(const GnomeLayout&) = delete;

    // Whether a key of the group types `keysym` on its first or Shift level, among the keys every
    // client can receive (XKB codes up to 255). False for a layout XKB could not compile.
    bool types(std::uint32_t keysym) const;

private:
    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;
    uint m_group = 0;
};

// The keysym of one code point: Latin-1 as itself, everything else in XKB's Unicode range.
std::uint32_t keysymOf(char32_t codePoint);

} // namespace tessary
