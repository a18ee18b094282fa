#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>

#include <cstdint>
#include <optional>

namespace tessary {

// Where each character sits on a keyboard layout, for a keyboard that can only press the keys of
// the user's own layout (KWin's fake input): "1" is Shift and the "&" key on a French layout, "€"
// is AltGr and "e". One layout of the keymap is read: KWin keeps every layout the user set up in
// one keymap and switches between them within it.
class LayoutKeymap {
public:
    // A key press: the modifier keys to hold, in order, then the key; evdev codes throughout.
    struct Stroke {
        QList<unsigned> modifiers;
        unsigned key = 0;
        friend bool operator==(const Stroke&, const Stroke&) = default;
    };

    // From a keymap in XKB's text format, as the compositor sends it, for its `layout`th layout; none
    // when it does not parse or has no such layout.
    static std::optional<LayoutKeymap> fromText(const QByteArray& text, unsigned layout = 0);
    // From XKB layout names ("fr", "us,ru"), as a session configures them.
    static std::optional<LayoutKeymap> fromNames(const QByteArray& layouts, unsigned layout = 0);

    // The plainest way to type `keysym`: a key X11 has too, fewest modifiers, Shift before AltGr;
    // none when no key of the layout types it.
    std::optional<Stroke> strokeFor(std::uint32_t keysym) const;

private:
    QHash<std::uint32_t, Stroke> m_strokes;

    friend class LayoutKeymapReader;
};

} // namespace tessary
