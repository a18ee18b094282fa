#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <initializer_list>

namespace tessary::test {

// A second X client: it holds key grabs of its own ("another app") and types through XTest.
class OtherClient {
public:
    OtherClient()
        : m_display(XOpenDisplay(nullptr))
    {
    }
    ~OtherClient()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    OtherClient(const OtherClient&) = delete;
    OtherClient& operator=(const OtherClient&) = delete;

    explicit operator bool() const { return m_display != nullptr; }

    // Grabs the combination with exactly these modifiers; false when someone else holds it.
    bool grab(KeySym key, unsigned int modifiers)
    {
        XSync(m_display, False);
        s_failed = false;
        XErrorHandler previous = XSetErrorHandler(&OtherClient::onError);
        XGrabKey(m_display, keycode(key), modifiers, DefaultRootWindow(m_display), False, GrabModeAsync,
                 GrabModeAsync);
        XSync(m_display, False);
        XSetErrorHandler(previous);
        return !s_failed;
    }
    // True when all four Num Lock / Caps Lock variants could be grabbed, i.e. nobody holds any.
    bool grabAllVariants(KeySym key, unsigned int modifiers)
    {
        bool all = true;
        for (unsigned int locks : {0u, unsigned(LockMask), unsigned(Mod2Mask), unsigned(LockMask | Mod2Mask)})
            all = grab(key, modifiers | locks) && all;
        return all;
    }
    void ungrabAll()
    {
        XUngrabKey(m_display, AnyKey, AnyModifier, DefaultRootWindow(m_display));
        XSync(m_display, False);
    }

    // Presses and releases the key with the modifier keys held, as a user would.
    void press(KeySym key, std::initializer_list<KeySym> modifierKeys)
    {
        for (KeySym modifierKey : modifierKeys)
            XTestFakeKeyEvent(m_display, keycode(modifierKey), True, 0);
        XTestFakeKeyEvent(m_display, keycode(key), True, 0);
        XTestFakeKeyEvent(m_display, keycode(key), False, 0);
        for (KeySym modifierKey : modifierKeys)
            XTestFakeKeyEvent(m_display, keycode(modifierKey), False, 0);
        XSync(m_display, False);
    }
    void tap(KeySym key) { press(key, {}); }

private:
    int keycode(KeySym key) const { return XKeysymToKeycode(m_display, key); }
    static int onError(Display*, XErrorEvent*)
    {
        s_failed = true;
        return 0;
    }

    static inline bool s_failed = false;
    Display* m_display;
};

} // namespace tessary::test
