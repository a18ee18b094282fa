#pragma once

#include <QString>

namespace tessary {

// Synthetic key events into whichever application has the focus.
class Keyboard {
public:
    virtual ~Keyboard() = default;

    // Whether shift, control, alt (option) or super (command) is held right now.
    virtual bool modifiersHeld() = 0;
    // Lets go of modifiers still held, so they cannot turn a typed character into a shortcut.
    virtual void releaseHeldModifiers() = 0;
    // One key event carrying `text` (one character's UTF-16 units). `keyCodeHint` is the key the
    // character sits on in a US layout (a macOS virtual key code); the text is what is typed.
    virtual void postKey(int keyCodeHint, const QString& text, bool down) = 0;
};

} // namespace tessary
