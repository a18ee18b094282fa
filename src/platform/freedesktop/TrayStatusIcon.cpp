#include "platform/freedesktop/TrayStatusIcon.h"

#include <QWidget>

namespace tessary {

TrayStatusIcon::TrayStatusIcon()
{
    connect(&m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context)
            emit clicked();
    });
}

void TrayStatusIcon::show(const QIcon& icon, const QString& toolTip)
{
    m_tray.setIcon(icon);
    m_tray.setToolTip(toolTip);
    m_tray.show();
}

void TrayStatusIcon::place(QWidget& window, QPoint topLeft)
{
    window.move(topLeft);
}

} // namespace tessary
