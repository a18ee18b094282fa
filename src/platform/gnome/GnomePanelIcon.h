#pragma once

#include "platform/freedesktop/StatusIcon.h"

#include <QCoro/QCoroTask>
#include <QImage>

#include <memory>

namespace tessary {

class GnomeShell;

// Tessary's icon in GNOME's top bar, shown by the shell extension (GNOME shows no tray icons);
// the extension also moves the popover under it, which a window cannot do itself on Wayland.
class GnomePanelIcon final : public StatusIcon {
public:
    explicit GnomePanelIcon(std::shared_ptr<GnomeShell> shell);
    ~GnomePanelIcon() override;

    void show(const QIcon& icon, const QString& toolTip) override;
    QRect geometry() const override { return m_geometry; }
    void place(QWidget& window, QPoint topLeft) override;

private:
    QCoro::Task<> moveOnceShown(QString title, QPoint topLeft);

    std::shared_ptr<GnomeShell> m_shell;
    QImage m_image; // shown again when the extension comes back
    QRect m_geometry;
};

} // namespace tessary
