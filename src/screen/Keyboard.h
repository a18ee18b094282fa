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
    // One key event carrying `text`: one character as the user sees it, which may be several code
    // points (a letter and a combining accent).
    virtual void postKey(const QString& text, bool down) = 0;
};

} // namespace tessary
