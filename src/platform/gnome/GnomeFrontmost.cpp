#include "platform/gnome/GnomeFrontmost.h"

#include "platform/gnome/GnomeShell.h"

#include <cmath>

namespace tessary {

Frontmost::Extents windowOrigin(const Frontmost::Extents& frame, const Frontmost::Extents& buffer,
                                const Frontmost::Extents& windowFrame)
{
    if (windowFrame.width == buffer.width && windowFrame.height == buffer.height)
        return buffer;
    // A window narrower than its frame (Qt's, which draws its own title bar where the compositor
    // draws none) sits inside it with borders as wide at the sides as at the bottom, the title
    // bar above.
    const int border = (frame.width - windowFrame.width) / 2;
    const int titleBar = frame.height - windowFrame.height - border;
    if (windowFrame.width > 0 && border > 0 && titleBar >= border)
        return Frontmost::Extents{frame.x + border, frame.y + titleBar, windowFrame.width,
                                  windowFrame.height};
    return frame;
}

GnomeFrontmost::GnomeFrontmost(std::shared_ptr<GnomeShell> shell)
    : m_shell(std::move(shell))
{
}

qint64 GnomeFrontmost::pid()
{
    return m_shell->focus().pid;
}

std::optional<RunningApplication> GnomeFrontmost::application()
{
    const qint64 processId = pid();
    if (processId <= 0)
        return std::nullopt;
    return m_entries.describe(processId);
}

std::optional<Frontmost::Extents> GnomeFrontmost::windowContent(qint64 pid, const QString&,
                                                                const Extents& windowFrame)
{
    // The extension reports the focused window only: the one whose fields matter.
    const GnomeShell::Window& focused = m_shell->focus();
    if (pid <= 0 || focused.pid != pid)
        return std::nullopt;
    // The accessible measures the window in its own pixels, the shell in the screen's.
    const auto onScreen = [&focused](int length) { return int(std::lround(length * focused.scale)); };
    return windowOrigin(focused.frame, focused.buffer,
                        {onScreen(windowFrame.x), onScreen(windowFrame.y), onScreen(windowFrame.width),
                         onScreen(windowFrame.height)});
}

double GnomeFrontmost::windowScale(qint64 pid)
{
    const GnomeShell::Window& focused = m_shell->focus();
    return pid > 0 && focused.pid == pid ? focused.scale : 1;
}

} // namespace tessary
