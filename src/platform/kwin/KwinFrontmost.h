#pragma once

#include "platform/atspi/Frontmost.h"
#include "platform/freedesktop/DesktopEntries.h"
#include "platform/kwin/KwinActiveWindow.h"

namespace tessary {

// The window in front and where it stands on Plasma under Wayland, from the reports of KWin's
// script: every answer is the last report, so a tick asks KWin nothing. AT-SPI knows positions
// only inside a window's surface there.
class KwinFrontmost final : public Frontmost {
public:
    bool known() const override { return m_active.reporting(); }
    qint64 pid() override;
    std::optional<RunningApplication> application() override;
    bool windowRelativeExtents() const override { return true; }
    // The window's surface, or its frame when the client draws a shadow around it.
    std::optional<Extents> windowContent(qint64 pid, const QString& title,
                                         const Extents& windowFrame) override;

private:
    KwinActiveWindow m_active;
    DesktopEntries m_entries;
};

} // namespace tessary
