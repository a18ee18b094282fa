#include "platform/x11/XTestKeyboard.h"

#include "platform/x11/KeyLevels.h"
#include "platform/x11/ServerKeymap.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <utility>

namespace tessary {

namespace {
// Applications rebuild their keymap from MappingNotify; give them a moment before the key that
// needs a temporary mapping, and before the mapping goes again (Firefox and Chromium need it).
constexpr std::chrono::milliseconds mappingSettle{20};

// The keysyms of a keycode, every level of it.
QList<KeySym> keysymsOf(Display* display, KeyCode keycode)
{
    int perKeycode = 0;
    KeySym* syms = XGetKeyboardMapping(display, keycode, 1, &perKeycode);
    QList<KeySym> all;
    for (int i = 0; syms && i < perKeycode; ++i)
        all.append(syms[i]);
    if (syms)
        XFree(syms);
    return all;
}

bool isUnused(Display* display, KeyCode keycode)
{
    const QList<KeySym> syms = keysymsOf(display, keycode);
    return std::all_of(syms.cbegin(), syms.cend(), [](KeySym sym) { return sym == NoSymbol; });
}

bool capsLockOn(Display* display)
{
    XkbStateRec state{};
    return XkbGetState(display, XkbUseCoreKbd, &state) == Success && (state.locked_mods & LockMask);
}
} // namespace

// A keysym put on a keycode no key uses, removed again on destruction.
class XTestKeyboard::TemporaryMapping {
public:
    TemporaryMapping(Display* display, unsigned long keysym)
        : m_display(display)
        , m_keysym(keysym)
    {
        int minimum = 0, maximum = 0;
        XDisplayKeycodes(display, &minimum, &maximum);
        for (int code = maximum; code >= minimum && !m_keycode; --code)
            if (isUnused(display, KeyCode(code)))
                m_keycode = KeyCode(code);
        if (!m_keycode)
            return;
        const KeyLevels levels = spareLevels(keysym);
        KeySym syms[2] = {levels.plain, levels.shifted};
        XChangeKeyboardMapping(display, m_keycode, 2, syms, 1);
        XSync(display, False);
    }
    ~TemporaryMapping()
    {
        if (!m_keycode)
            return;
        KeySym none[2] = {NoSymbol, NoSymbol};
        XChangeKeyboardMapping(m_display, m_keycode, 2, none, 1);
        XSync(m_display, False);
    }
    TemporaryMapping(const TemporaryMapping&) = delete;
    TemporaryMapping& operator=(const TemporaryMapping&) = delete;

    KeyCode keycode() const { return m_keycode; }
    unsigned long keysym() const { return m_keysym; }

private:
    Display* m_display;
    unsigned long m_keysym;
    KeyCode m_keycode = 0;
};

XTestKeyboard::XTestKeyboard(Clock& clock)
    : m_clock(clock)
{
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    m_available =
        m_connection && XTestQueryExtension(m_connection.display(), &eventBase, &errorBase, &major, &minor);
}

bool XTestKeyboard::serverHasXTest()
{
    static const bool present = [] {
        X11Connection connection;
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        return connection &&
               XTestQueryExtension(connection.display(), &eventBase, &errorBase, &major, &minor);
    }();
    return present;
}

XTestKeyboard::~XTestKeyboard()
{
    // Nothing can wait here: the key goes up and the spare keys are taken off at once.
    if (m_pressed)
        sendRelease(*m_pressed);
    m_spareKeys.clear();
}

unsigned long XTestKeyboard::keysymFor(char32_t character)
{
    if ((character >= 0x20 && character <= 0x7e) || (character >= 0xa0 && character <= 0xff))
        return character;
    return 0x01000000UL | character;
}

QList<unsigned char> XTestKeyboard::keysDown(bool modifiersOnly)
{
    QList<unsigned char> held;
    if (!m_available)
        return held;
    Display* display = m_connection.display();
    char keys[32] = {};
    XQueryKeymap(display, keys);
    const auto isDown = [&keys](int code) { return (keys[code / 8] & (1 << (code % 8))) != 0; };
    if (!modifiersOnly) {
        for (int code = 8; code < 256; ++code)
            if (isDown(code))
                held.append((unsigned char)code);
        return held;
    }
    XModifierKeymap* modifiers = XGetModifierMapping(display);
    if (!modifiers)
        return held;
    // Shift, Control, Mod1 (Alt) and Mod4 (Super): the ones that turn a key into a shortcut.
    for (int index : {ShiftMapIndex, ControlMapIndex, Mod1MapIndex, Mod4MapIndex}) {
        for (int k = 0; k < modifiers->max_keypermod; ++k) {
            const KeyCode code = modifiers->modifiermap[index * modifiers->max_keypermod + k];
            if (code && isDown(code) && !held.contains(code))
                held.append(code);
        }
    }
    XFreeModifiermap(modifiers);
    return held;
}

bool XTestKeyboard::keysHeld()
{
    return !keysDown(false).isEmpty();
}

void XTestKeyboard::releaseHeldKeys()
{
    releaseKeys(keysDown(false));
}

void XTestKeyboard::releaseKeys(const QList<unsigned char>& keycodes)
{
    for (unsigned char code : keycodes)
        XTestFakeKeyEvent(m_connection.display(), code, False, CurrentTime);
    if (!keycodes.isEmpty())
        XSync(m_connection.display(), False);
}

QCoro::Task<unsigned char> XTestKeyboard::spareKeycode(unsigned long keysym)
{
    for (const std::unique_ptr<TemporaryMapping>& mapping : m_spareKeys)
        if (mapping->keysym() == keysym)
            co_return mapping->keycode();
    Display* display = m_connection.display();
    auto mapping = std::make_unique<TemporaryMapping>(display, keysym);
    if (!mapping->keycode() && !m_spareKeys.empty()) {
        // Every free keycode carries a character typed before, which has arrived by now (typing
        // waits for each): they make room.
        m_spareKeys.clear();
        mapping = std::make_unique<TemporaryMapping>(display, keysym);
    }
    const unsigned char keycode = mapping->keycode();
    if (!keycode)
        co_return keycode;
    m_spareKeys.push_back(std::move(mapping));
    co_await m_clock.sleep(mappingSettle);
    co_return keycode;
}

QCoro::Task<std::optional<XTestKeyboard::PressedKey>> XTestKeyboard::press(unsigned long keysym)
{
    Display* display = m_connection.display();
    PressedKey key;
    if (const std::optional<ServerKeymap::Key> inLayout = ServerKeymap(display).keyInLayout(keysym)) {
        key = PressedKey{inLayout->keycode, inLayout->shift};
    } else {
        // Not on the first two levels of the layout in use (or not at all): a spare keycode types it.
        key.keycode = co_await spareKeycode(keysym);
        if (!key.keycode)
            co_return std::nullopt;
        key.shift = shiftFor(keysym, spareLevels(keysym), capsLockOn(display)).value_or(false);
    }
    const KeyCode shiftKey = XKeysymToKeycode(display, XK_Shift_L);
    if (key.shift && shiftKey)
        XTestFakeKeyEvent(display, shiftKey, True, CurrentTime);
    XTestFakeKeyEvent(display, key.keycode, True, CurrentTime);
    XSync(display, False);
    co_return key;
}

void XTestKeyboard::sendRelease(const PressedKey& key)
{
    Display* display = m_connection.display();
    XTestFakeKeyEvent(display, key.keycode, False, CurrentTime);
    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    if (key.shift && shift)
        XTestFakeKeyEvent(display, shift, False, CurrentTime);
    XSync(display, False);
}

bool XTestKeyboard::layoutHolds(const QString& text)
{
    if (!m_available || text.isEmpty())
        return true;
    const unsigned long keysym = keysymFor(text.toUcs4().value(0));
    for (const std::unique_ptr<TemporaryMapping>& mapping : std::as_const(m_spareKeys))
        if (mapping->keysym() == keysym)
            return false;
    return ServerKeymap(m_connection.display()).keyInLayout(keysym).has_value();
}

QCoro::Task<> XTestKeyboard::endTyping()
{
    if (m_spareKeys.empty())
        co_return;
    // A toolkit reads the keymap again some time after the change: the spare keys stay that long
    // after the last key, as they did after their own keys.
    co_await m_clock.sleep(mappingSettle);
    m_spareKeys.clear();
}

QCoro::Task<> XTestKeyboard::postKey(QString text, bool down)
{
    if (!m_available || text.isEmpty())
        co_return;
    // One character per event; the key code hint names a US key position, which on X11 the
    // keymap decides, so the text alone chooses the key.
    const char32_t character = text.toUcs4().value(0);
    if (down) {
        if (m_pressed)
            sendRelease(*std::exchange(m_pressed, std::nullopt));
        // A key event carries no modifiers: one still held from the hot key would make it a
        // shortcut, so it is let go first.
        releaseKeys(keysDown(true));
        m_pressed = co_await press(keysymFor(character));
    } else if (m_pressed) {
        sendRelease(*std::exchange(m_pressed, std::nullopt));
    }
}

} // namespace tessary
