#include "platform/gnome/GnomeFrontmost.h"

#include "platform/gnome/GnomeShell.h"

namespace tessary {

Frontmost::Extents windowOrigin(const Frontmost::Extents& frame, const Frontmost::Extents& buffer,
                                const Frontmost::Extents& windowFrame)
{
    const bool fillsBuffer = windowFrame.width == buffer.width && windowFrame.height == buffer.height;
    return fillsBuffer ? buffer : frame;
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
    return windowOrigin(focused.frame, focused.buffer, windowFrame);
}

} // namespace tessary
