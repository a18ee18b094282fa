#pragma once

#include "platform/atspi/Frontmost.h"
#include "platform/freedesktop/DesktopEntries.h"
#include "platform/sway/SwayEvents.h"
#include "platform/sway/SwayIpc.h"

namespace tessary {

namespace swayipc {

// The window of process `pid` that an accessible window titled `title` stands for: the only window
// of that process, else the one with that title (the focused one when several share it), else the
// process's focused window; none when the process has no window.
std::optional<Toplevel> windowOf(const QList<Toplevel>& windows, qint64 pid, const QString& title);

} // namespace swayipc

// The frontmost application and window positions from sway's IPC. The focused window's process,
// asked every tick, is kept between sway's window and workspace events; every other answer is one
// request (well under a millisecond), so nothing is kept that could go stale when a window moves.
class SwayFrontmost final : public Frontmost {
public:
    explicit SwayFrontmost(SwayIpc ipc);

    qint64 pid() override;
    std::optional<RunningApplication> application() override;
    bool windowRelativeExtents() const override { return true; }
    std::optional<Extents> windowContent(qint64 pid, const QString& title, const Extents&) override;

private:
    SwayIpc m_ipc;
    SwayEvents m_events;
    DesktopEntries m_entries;
    qint64 m_focusedPid = 0;
    bool m_focusKnown = false; // no window or workspace event since m_focusedPid was asked
};

} // namespace tessary
