#include "chip/ChipDesktop.h"

#include "chip/ChipPlacement.h"

#include <QGuiApplication>
#include <QScreen>

namespace tessary {

QRect chipFrameOnDesktop(QSize size, const std::optional<Rect>& target, QPoint pointer)
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    const double primaryHeight = primary ? primary->geometry().height() : 0;
    QList<ScreenArea> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append({flipped(toRect(screen->geometry()), primaryHeight),
                        flipped(toRect(screen->availableGeometry()), primaryHeight)});
    const Rect from = flipped(toRect(QRectF(pointer, QSizeF(0, 0))), primaryHeight);
    const Rect frame = chipFrame(size, target, screens, QPointF(from.x, from.y));
    return toQRect(flipped(frame, primaryHeight));
}

} // namespace tessary
