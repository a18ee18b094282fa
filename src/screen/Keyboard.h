#pragma once

#include <QCoro/QCoroTask>
#include <QString>

namespace tessary {

// Synthetic key events into whichever application has the focus.
class Keyboard {
public:
    virtual ~Keyboard() = default;

    // Whether any key is down right now: a modifier, or the key of the hot key that started the
    // fill, whose grab takes every key event until that key is let go.
    virtual bool keysHeld() = 0;
    // Lets go of keys still held, so they can neither turn a typed character into a shortcut nor
    // keep a grab that swallows it.
    virtual void releaseHeldKeys() = 0;
    // One key event carrying `text`: a single code point. Finishes once applications can take the
    // next event: a key the keymap lacks is first put on a spare key, which they must learn of.
    virtual QCoro::Task<> postKey(QString text, bool down) = 0;
    // Whether a key event can carry `text` (a single code point). A keyboard with a keymap of its
    // own types anything; one bound to the user's layout types only what the layout holds.
    virtual bool canType(const QString& text) const
    {
        Q_UNUSED(text);
        return true;
    }
    // Whether the current layout holds `text`, so its key takes the way every key takes. One it
    // lacks (still lacks while a spare key carries it) goes in on a spare key put into the keymap
    // for it, or through the input method: the application learns of that apart from the keys,
    // so keys posted before it must have reached the application first, and it must have reached
    // the application before the keymap changes again.
    virtual bool layoutHolds(const QString& text)
    {
        Q_UNUSED(text);
        return true;
    }
    // Once a code's keys have reached the application (or typing stopped): takes the spare keys
    // typing put into the keymap out again.
    virtual QCoro::Task<> endTyping() { co_return; }
    // The characters posted since the last call that reached no application at all (GNOME has no
    // key for them in the layout, and no text field took them another way); empty while all did.
    virtual QString takeUntyped() { return {}; }
};

} // namespace tessary
