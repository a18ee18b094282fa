#pragma once

#include "common/Clock.h"
#include "platform/x11/X11Connection.h"
#include "screen/Keyboard.h"

#include <QList>

#include <memory>
#include <optional>
#include <vector>

namespace tessary {

// The keyboard seam over the XTest extension. A character is typed as its keysym: found in the
// layout in use, the keymap's current group (with Shift when it sits on the second level, the
// other way round for a letter while Caps Lock is on), or, when that lacks it ("é" on a US
// layout), put on a spare
// keycode, kept there until the code is typed (an application may read the keymap again long
// after the key arrived: taken off sooner, the key would read as nothing) and taken off in
// endTyping, or when the keyboard goes away. Applications need a moment to read a keymap change;
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
    bool layoutHolds(const QString& text) override;
    QCoro::Task<> endTyping() override;

    // Whether $DISPLAY's server offers XTest; asked once, as a server's extensions do not change.
    static bool serverHasXTest();

    // The keysym that types a character: Latin-1 as is, anything else as a Unicode keysym.
    static unsigned long keysymFor(char32_t character);

private:
    class TemporaryMapping;
    struct PressedKey {
        unsigned char keycode = 0;
        bool shift = false;
    };

    // Keycodes down right now: every key, or only shift, control, alt and super.
    QList<unsigned char> keysDown(bool modifiersOnly);
    void releaseKeys(const QList<unsigned char>& keycodes);
    // The spare keycode carrying `keysym`, put there (and waited for) when none does yet; 0 when
    // no keycode is free.
    QCoro::Task<unsigned char> spareKeycode(unsigned long keysym);
    QCoro::Task<std::optional<PressedKey>> press(unsigned long keysym);
    void sendRelease(const PressedKey& key);

    Clock& m_clock;
    X11Connection m_connection;
    bool m_available = false;
    std::optional<PressedKey> m_pressed;
    std::vector<std::unique_ptr<TemporaryMapping>> m_spareKeys;
};

} // namespace tessary
