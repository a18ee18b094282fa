#pragma once

#include <memory>
#include <optional>

typedef struct _XDisplay Display;
typedef struct _XkbDesc XkbDescRec;

namespace tessary {

// The keyboard map as the X server has it at this moment. Xlib's own copy, behind
// XKeysymToKeycode, is read once and follows a layout change only on a connection whose events
// Xlib reads, which neither Qt's connection nor ours is.
class ServerKeymap {
public:
    explicit ServerKeymap(Display* display);
    ~ServerKeymap();
    ServerKeymap(const ServerKeymap&) = delete;
    ServerKeymap& operator=(const ServerKeymap&) = delete;

    struct Key {
        unsigned char keycode = 0;
        bool shift = false;
    };
    // The key that types `keysym` in the layout in use (the keyboard's current group, which the
    // user switches between layouts with): the first with it on its first level, else on its
    // second, with whether Shift is held for it (Caps Lock counted); none when that layout lacks it.
    std::optional<Key> keyInLayout(unsigned long keysym) const;
    // The first key with `keysym` on its first level in any layout, else on any level: the key a
    // grab of that keysym takes. 0 when no key has it.
    unsigned char keycodeOf(unsigned long keysym) const;

private:
    struct Free {
        void operator()(XkbDescRec* keyboard) const;
    };
    std::unique_ptr<XkbDescRec, Free> m_keyboard;
    int m_group = 0;
    bool m_capsLock = false;
};

} // namespace tessary
