#include "platform/x11/EwmhFrontmost.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace tessary {

EwmhFrontmost::EwmhFrontmost()
{
    if (!m_connection)
        return;
    m_activeWindowAtom = XInternAtom(m_connection.display(), "_NET_ACTIVE_WINDOW", False);
    m_pidAtom = XInternAtom(m_connection.display(), "_NET_WM_PID", False);
}

unsigned long EwmhFrontmost::windowProperty(unsigned long window, unsigned long atom)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    // A window that vanished between the two reads raises BadWindow; a quiet handler keeps the
    // process alive and the read simply gives nothing.
    XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    const int status = XGetWindowProperty(m_connection.display(), window, atom, 0, 1, False, AnyPropertyType,
                                          &type, &format, &count, &remaining, &data);
    XSetErrorHandler(previous);
    unsigned long value = 0;
    if (status == Success && data && count == 1 && format == 32)
        value = *reinterpret_cast<unsigned long*>(data); // format-32 items are longs in Xlib
    if (data)
        XFree(data);
    return value;
}

qint64 EwmhFrontmost::pid()
{
    if (!m_connection)
        return 0;
    const unsigned long window =
        windowProperty(DefaultRootWindow(m_connection.display()), m_activeWindowAtom);
    return window ? qint64(windowProperty(window, m_pidAtom)) : 0;
}

std::optional<RunningApplication> EwmhFrontmost::application()
{
    const qint64 processId = pid();
    if (processId <= 0)
        return std::nullopt;
    return m_entries.describe(processId);
}

} // namespace tessary
