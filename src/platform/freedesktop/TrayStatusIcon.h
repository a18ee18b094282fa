#pragma once

#include "platform/freedesktop/StatusIcon.h"

#include <QSystemTrayIcon>

namespace tessary {

// The icon in the desktop's tray (StatusNotifierItem, or XEmbed on X11).
class TrayStatusIcon final : public StatusIcon {
public:
    TrayStatusIcon();

    void show(const QIcon& icon, const QString& toolTip) override;
    QRect geometry() const override { return m_tray.geometry(); }
    void place(QWidget& window, QPoint topLeft) override;

private:
    QSystemTrayIcon m_tray;
};

} // namespace tessary
