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
    QObject::connect(&m_events, &SwayEvents::event, &m_events, [this] {
        m_focusCurrent = false;
        askTree();
    });
    askTree();
}

SwayFrontmost::~SwayFrontmost()
{
    delete m_request;
}

void SwayFrontmost::askTree()
{
    if (m_request)
        return; // its reply may predate an event since; takeTree asks again then
    m_focusCurrent = true;
    m_request = new SwayTreeRequest(m_ipc.socketPath(),
                                    [this](const SwayTreeRequest::Answer& tree) { takeTree(tree); });
    m_request->start();
}

void SwayFrontmost::takeTree(const SwayTreeRequest::Answer& tree)
{
    m_request = nullptr; // it deletes itself
    m_treeAnswered = true;
    if (!tree) {
        // An unreadable tree says nothing about the focus: none is reported, and the next tick asks again.
        m_focusedPid = 0;
        m_focusCurrent = false;
        return;
    }
    const std::optional<swayipc::Toplevel> focused = swayipc::focusedToplevel(*tree);
    m_focusedPid = focused ? focused->pid : 0;
    if (!m_focusCurrent)
        askTree();
}

qint64 SwayFrontmost::pid()
{
    // Without the event subscription a change could pass unseen, so each tick asks afresh.
    if (!m_focusCurrent || !m_events.listening())
        askTree();
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
