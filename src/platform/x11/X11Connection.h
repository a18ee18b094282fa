#pragma once

#include <memory>

typedef struct _XDisplay Display;

namespace tessary {

// One Xlib connection to $DISPLAY, closed with the object. Null when there is no X server, so
// every user reads "nothing" instead of crashing.
class X11Connection {
public:
    X11Connection();
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    Display* display() const { return m_display; }
    explicit operator bool() const { return m_display != nullptr; }

private:
    Display* m_display = nullptr;
};

} // namespace tessary
