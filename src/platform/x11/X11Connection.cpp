#include "platform/x11/X11Connection.h"

#include <X11/Xlib.h>

namespace tessary {

X11Connection::X11Connection()
    : m_display(XOpenDisplay(nullptr))
{
}

X11Connection::~X11Connection()
{
    if (m_display)
        XCloseDisplay(m_display);
}

int X11Connection::screenHeight() const
{
    return m_display ? DisplayHeight(m_display, DefaultScreen(m_display)) : 0;
}

} // namespace tessary
