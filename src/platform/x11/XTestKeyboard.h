#pragma once

#include "common/Clock.h"
#include "platform/x11/X11Connection.h"
#include "screen/Keyboard.h"

#include <QList>

#include <memory>

namespace tessary {

// The keyboard seam over the XTest extension. A character is typed as its keysym: found in the
// current keymap (with Shift when it sits on the second level, the other way round for a letter
// while Caps Lock is on), or, when the keymap lacks it ("é" on a US layout), put on a spare
// keycode just for that key press and taken off again on the key's release, or when the keyboard
// goes away, whatever happened in between. Applications need a moment to read a keymap change;
// that wait is a sleep on `clock`, never a blocked thread.
class XTestKeyboard final : public Keyboard {
public:
    explicit XTestKeyboard(Clock& clock);
    ~XTestKeyboard() override;

    // False without an X server or without XTest: every call then does nothing.
    bool available() const { return m_available; }

    bool keysHeld() override;
    void releaseHeldKeys() override;
    QCoro::Task<> postKey(QString text, bool down) override;

    // Whether $DISPLAY's server offers XTest; asked once, as a server's extensions do not change.
    static bool serverHasXTest();

    // The keysym that types a character: Latin-1 as is, anything else as a Unicode keysym.
    static unsigned long keysymFor(char32_t character);

private:
    class TemporaryMapping;
    struct PressedKey {
        unsigned char keycode = 0;
        bool shift = false;
        std::unique_ptr<TemporaryMapping> mapping; // null when the keymap already had the keysym
    };

    // Keycodes down right now: every key, or only shift, control, alt and super.
    QList<unsigned char> keysDown(bool modifiersOnly);
    void releaseKeys(const QList<unsigned char>& keycodes);
    QCoro::Task<std::unique_ptr<PressedKey>> press(unsigned long keysym);
    QCoro::Task<> release(std::unique_ptr<PressedKey> key);
    void sendRelease(const PressedKey& key);

    Clock& m_clock;
    X11Connection m_connection;
    bool m_available = false;
    std::unique_ptr<PressedKey> m_pressed;
};

} // namespace tessary
