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
    if (application && application->bundleIdentifier.isEmpty())
        application->bundleIdentifier = window->resourceClass;
    return application;
}

// KWin reports only the window in front, the one a focused element is in.
std::optional<Frontmost::Extents> KwinFrontmost::windowContent(qint64 pid, const QString&, const Extents&)
{
    const std::optional<KwinWindow>& window = m_active.window();
    if (!window || window->pid != pid)
        return std::nullopt;
    return window->frame;
}

} // namespace tessary
