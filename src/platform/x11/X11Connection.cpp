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

} // namespace tessary
