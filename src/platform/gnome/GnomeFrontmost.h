#pragma once

#include "platform/atspi/Frontmost.h"
#include "platform/freedesktop/DesktopEntries.h"

#include <memory>

namespace tessary {

class GnomeShell;

// The frontmost application and its window's place from the shell extension, which reports the
// focused window whenever it changes, moves or is resized; nothing here waits on the bus.
// AT-SPI's extents are window-relative under Wayland: they start at the buffer's corner when the
// window's accessible is as large as the buffer, else at the frame's (seen for GTK 3, GTK 4 and
// Firefox, maximised or not), or inside the title bar and borders Qt draws in the frame.
class GnomeFrontmost final : public Frontmost {
public:
    explicit GnomeFrontmost(std::shared_ptr<GnomeShell> shell);

    qint64 pid() override;
    std::optional<RunningApplication> application() override;
    bool windowRelativeExtents() const override { return true; }
    std::optional<Extents> windowContent(qint64 pid, const QString& title,
                                         const Extents& windowFrame) override;
    double windowScale(qint64 pid) override;

private:
    std::shared_ptr<GnomeShell> m_shell;
    DesktopEntries m_entries;
};

// Where window-relative positions start on the screen: the buffer's corner when the accessible
// window fills the buffer, inside the frame's title bar and borders when it is narrower than the
// frame, else the frame's corner.
Frontmost::Extents windowOrigin(const Frontmost::Extents& frame, const Frontmost::Extents& buffer,
                                const Frontmost::Extents& windowFrame);

} // namespace tessary
