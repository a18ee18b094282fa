#include "platform/kwin/KwinFrontmost.h"

namespace tessary {

qint64 KwinFrontmost::pid()
{
    return m_active.window() ? m_active.window()->pid : 0;
}

std::optional<RunningApplication> KwinFrontmost::application()
{
    const std::optional<KwinWindow>& window = m_active.window();
    if (!window)
        return std::nullopt;
    std::optional<RunningApplication> application = m_entries.describe(window->pid);
    // A process whose executable cannot be read (another user's) still has the class KWin knows.
    if (application && application->appId.isEmpty())
        application->appId = window->resourceClass;
    return application;
}

// KWin reports only the window in front, the one a focused element is in.
std::optional<Frontmost::Extents> KwinFrontmost::windowContent(qint64 pid, const QString&,
                                                               const Extents& windowFrame)
{
    const std::optional<KwinWindow>& window = m_active.window();
    if (!window || window->pid != pid)
        return std::nullopt;
    // A window KWin decorates has its content where its surface is, and so does one whose
    // top-level accessible fills its surface (our own windows give no extents: they are such); one
    // that draws a shadow around itself (Firefox) has it at the frame, which the top-level
    // accessible's extents inside the surface lead to.
    const bool fillsSurface = windowFrame.width == 0 || (windowFrame.width == window->buffer.width &&
                                                         windowFrame.height == window->buffer.height);
    return fillsSurface ? window->buffer : window->frame;
}

} // namespace tessary
