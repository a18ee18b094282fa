#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>

class QIcon;
class QWidget;

namespace tessary {

// The icon Tessary keeps in the desktop's panel: the tray's where the desktop hosts tray icons,
// a top-bar icon of Tessary's shell extension on GNOME. A click on it opens the popover, which is
// placed under it.
class StatusIcon : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Shows the icon, or shows it anew.
    virtual void show(const QIcon& icon, const QString& toolTip) = 0;
    // Where the icon stands on the screen; empty while that is not known.
    virtual QRect geometry() const = 0;
    // Moves a shown top-level window of ours, which on Wayland only the desktop itself can do.
    virtual void place(QWidget& window, QPoint topLeft) = 0;

signals:
    void clicked();
};

} // namespace tessary
