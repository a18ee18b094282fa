#include "chip/ChipDesktop.h"

#include "chip/ChipPlacement.h"

#include <QGuiApplication>
#include <QScreen>

namespace tessary {

QRect chipFrameOnDesktop(QSize size, const std::optional<Rect>& target, QPoint pointer)
{
    QList<ScreenArea> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append({toRect(screen->geometry()), toRect(screen->availableGeometry())});
    return toQRect(chipFrame(size, target, screens, pointer));
}

} // namespace tessary
