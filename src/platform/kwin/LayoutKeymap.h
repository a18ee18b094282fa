#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>

#include <cstdint>
#include <optional>

namespace tessary {

// Where each character sits on a keyboard layout, for a keyboard that can only press the keys of
// the user's own layout (KWin's fake input): "1" is Shift and the "&" key on a French layout, "€"
// is AltGr and "e". Only the first layout of the keymap is read, the one a session starts in.
class LayoutKeymap {
public:
    // A key press: the modifier keys to hold, in order, then the key; evdev codes throughout.
    struct Stroke {
        QList<unsigned> modifiers;
        unsigned key = 0;
        friend bool operator==(const Stroke&, const Stroke&) = default;
    };

    // From a keymap in XKB's text format, as the compositor sends it; none when it does not parse.
    static std::optional<LayoutKeymap> fromText(const QByteArray& text);
    // From rule names ("fr", "de" with variant "nodeadkeys"), as a session configures them.
    static std::optional<LayoutKeymap> fromNames(const QByteArray& layout, const QByteArray& variant = {});

    // The plainest way to type `keysym`: a key X11 has too, fewest modifiers, Shift before AltGr;
    // none when no key of the layout types it.
    std::optional<Stroke> strokeFor(std::uint32_t keysym) const;

private:
    QHash<std::uint32_t, Stroke> m_strokes;

    friend class LayoutKeymapReader;
};

} // namespace tessary
