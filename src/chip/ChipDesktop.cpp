#include "chip/ChipDesktop.h"

#include "chip/ChipPlacement.h"
#include "screen/ScreenScale.h"

#include <QGuiApplication>
#include <QScreen>

namespace tessary {

namespace {

ScreenScale scaleOf(const QScreen& screen)
{
    return ScreenScale::of(QGuiApplication::platformName(), screen.geometry().topLeft(),
                           screen.devicePixelRatio());
}

// The screen whose frame in screen pixels holds `point`, else the primary one.
const QScreen* screenHolding(QPoint point)
{
    for (const QScreen* screen : QGuiApplication::screens())
        if (const Rect frame = scaleOf(*screen).toScreenPixels(screen->geometry());
            toQRect(frame).contains(point))
            return screen;
    return QGuiApplication::primaryScreen();
}

} // namespace

qreal chipAsQtSizes(const QScreen& screen)
{
    return scaleOf(screen).ratio;
}

qreal chipAtScreenRatio(const QScreen& screen)
{
    return screen.devicePixelRatio();
}

QRect chipFrameOnDesktop(QSize size, const std::optional<Rect>& target, QPoint pointer,
                         const ChipDrawing& drawing)
{
    const QScreen* pointerScreen = QGuiApplication::screenAt(pointer);
    if (!pointerScreen)
        pointerScreen = QGuiApplication::primaryScreen();
    if (!pointerScreen)
        return toQRect(chipFrame(size, target, {}, pointer));
    QList<ScreenArea> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const ScreenScale scale = scaleOf(*screen);
        screens.append(
            {scale.toScreenPixels(screen->geometry()), scale.toScreenPixels(screen->availableGeometry())});
    }
    const QScreen* home =
        target ? screenHolding(QPoint(target->x + target->width / 2, target->y + target->height / 2))
               : pointerScreen;
    const Rect frame =
        chipFrame(size * drawing(*home), target, screens, scaleOf(*pointerScreen).toScreenPixels(pointer));
    const QScreen* standsOn = screenHolding(QPoint(frame.x, frame.y));
    return {scaleOf(*standsOn).fromScreenPixels(QPoint(frame.x, frame.y)), size};
}

} // namespace tessary
