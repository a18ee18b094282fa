#pragma once

#include "platform/atspi/Frontmost.h"
#include "platform/freedesktop/DesktopEntries.h"
#include "platform/x11/X11Connection.h"

#include <optional>

namespace tessary {

// The frontmost application as the window manager sees it: the process that owns
// _NET_ACTIVE_WINDOW (its _NET_WM_PID), named by its desktop file. Needs an EWMH window manager;
// without one, or without a display, there is no frontmost application. AT-SPI's positions are
// on the screen already, so windows need not be placed.
class EwmhFrontmost final : public Frontmost {
public:
    EwmhFrontmost();

    std::optional<RunningApplication> application() override;
    // Only the process id: two property reads, cheap enough for every tick.
    qint64 pid() override;
    bool windowRelativeExtents() const override { return false; }
    std::optional<Extents> windowContent(qint64, const QString&, const Extents&) override
    {
        return std::nullopt;
    }
    bool hasDisplay() const { return bool(m_connection); }

private:
    unsigned long windowProperty(unsigned long window, unsigned long atom);

    X11Connection m_connection;
    unsigned long m_activeWindowAtom = 0;
    unsigned long m_pidAtom = 0;
    DesktopEntries m_entries;
};

} // namespace tessary
