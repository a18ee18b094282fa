#pragma once

#include "platform/atspi/Frontmost.h"
#include "platform/freedesktop/DesktopEntries.h"
#include "platform/sway/SwayEvents.h"
#include "platform/sway/SwayIpc.h"
#include "platform/sway/SwayTreeRequest.h"

namespace tessary {

namespace swayipc {

// The window of process `pid` that an accessible window titled `title` stands for: the only window
// of that process, else the one with that title (the focused one when several share it), else the
// process's focused window; none when the process has no window.
std::optional<Toplevel> windowOf(const QList<Toplevel>& windows, qint64 pid, const QString& title);

} // namespace swayipc

// The frontmost application and window positions from sway's IPC. The focused window's process,
// asked every tick, comes from the last tree sway sent: it is asked for at start and again after
// each of sway's window and workspace events, and its reply lands from the event loop, so a tick
// never waits on sway. Every other answer is one request (well under a millisecond), so nothing is
// kept that could go stale when a window moves.
class SwayFrontmost final : public Frontmost {
public:
    explicit SwayFrontmost(SwayIpc ipc);
    ~SwayFrontmost() override;

    bool known() const override { return m_treeAnswered; }
    qint64 pid() override;
    std::optional<RunningApplication> application() override;
    bool windowRelativeExtents() const override { return true; }
    std::optional<Extents> windowContent(qint64 pid, const QString& title, const Extents&) override;

private:
    void askTree();
    void takeTree(const SwayTreeRequest::Answer& tree);

    SwayIpc m_ipc;
    SwayEvents m_events;
    DesktopEntries m_entries;
    SwayTreeRequest* m_request = nullptr; // the get_tree under way, if any
    qint64 m_focusedPid = 0;     // from the last tree; 0 when it was unreadable or no window has the focus
    bool m_treeAnswered = false; // sway has answered (or failed to) once since start
    bool m_focusCurrent = false; // no window or workspace event since the last tree was asked
};

} // namespace tessary
