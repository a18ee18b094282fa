#include "platform/sway/SwayFrontmost.h"

namespace tessary {

namespace swayipc {

std::optional<Toplevel> windowOf(const QList<Toplevel>& windows, qint64 pid, const QString& title)
{
    const Toplevel* chosen = nullptr;
    int rank = 0; // 1: another window of the process, 2: its focused one, 3: titled so, 4: both
    for (const Toplevel& window : windows) {
        if (pid <= 0 || window.pid != pid)
            continue;
        const int windowRank = (window.title == title ? 2 : 0) + (window.focused ? 2 : 1);
        if (windowRank > rank) {
            chosen = &window;
            rank = windowRank;
        }
    }
    return chosen ? std::optional<Toplevel>(*chosen) : std::nullopt;
}

} // namespace swayipc

SwayFrontmost::SwayFrontmost(SwayIpc ipc)
    : m_ipc(std::move(ipc))
    , m_events(m_ipc.socketPath(), {QStringLiteral("window"), QStringLiteral("workspace")})
{
    QObject::connect(&m_events, &SwayEvents::event, &m_events, [this] { m_focusKnown = false; });
}

qint64 SwayFrontmost::pid()
{
    if (m_focusKnown && m_events.listening())
        return m_focusedPid;
    const std::optional<swayipc::Toplevel> focused = m_ipc.focusedToplevel();
    m_focusedPid = focused ? focused->pid : 0;
    m_focusKnown = true;
    return m_focusedPid;
}

std::optional<RunningApplication> SwayFrontmost::application()
{
    const qint64 processId = pid();
    if (processId <= 0)
        return std::nullopt;
    return m_entries.describe(processId);
}

std::optional<Frontmost::Extents> SwayFrontmost::windowContent(qint64 pid, const QString& title,
                                                               const Extents&)
{
    const auto tree = m_ipc.tree();
    if (!tree)
        return std::nullopt;
    const std::optional<swayipc::Toplevel> window = swayipc::windowOf(swayipc::toplevels(*tree), pid, title);
    return window ? std::optional<Extents>(window->content) : std::nullopt;
}

} // namespace tessary
