#include "chip/ChipDesktop.h"

#include "chip/ChipPlacement.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace tessary {

namespace {

// Qt's pixels per window-system pixel on `screen`. On X11 the window system scales nothing, so a
// ratio other than 1 is all Qt's own (from Xft.dpi, as a desktop at 200 % sets it): Qt then halves
// every length, keeping each screen's top-left corner, while the accessibility layer's frames stay
// in the server's pixels. On Wayland both already speak the compositor's logical pixels.
qreal qtScale(const QScreen& screen)
{
    return QGuiApplication::platformName() == QLatin1String("xcb") ? screen.devicePixelRatio() : 1.0;
}

QPoint toScreenPixels(QPoint point, const QScreen& screen)
{
    const QPoint origin = screen.geometry().topLeft();
    return origin + (point - origin) * qtScale(screen);
}

QPoint fromScreenPixels(QPoint point, const QScreen& screen)
{
    const QPoint origin = screen.geometry().topLeft();
    return origin + (point - origin) / qtScale(screen);
}

QRect toScreenPixels(const QRect& rect, const QScreen& screen)
{
    const qreal scale = qtScale(screen);
    return {toScreenPixels(rect.topLeft(), screen),
            QSize(int(std::lround(rect.width() * scale)), int(std::lround(rect.height() * scale)))};
}

// The screen whose frame in screen pixels holds `point`, else the primary one.
const QScreen* screenHolding(QPoint point)
{
    for (const QScreen* screen : QGuiApplication::screens())
        if (toScreenPixels(screen->geometry(), *screen).contains(point))
            return screen;
    return QGuiApplication::primaryScreen();
}

} // namespace

QRect chipFrameOnDesktop(QSize size, const std::optional<Rect>& target, QPoint pointer)
{
    const QScreen* pointerScreen = QGuiApplication::screenAt(pointer);
    if (!pointerScreen)
        pointerScreen = QGuiApplication::primaryScreen();
    if (!pointerScreen)
        return toQRect(chipFrame(size, target, {}, pointer));
    QList<ScreenArea> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append({toRect(toScreenPixels(screen->geometry(), *screen)),
                        toRect(toScreenPixels(screen->availableGeometry(), *screen))});
    const QPoint pointerPixel = toScreenPixels(pointer, *pointerScreen);
    const QScreen* home =
        target ? screenHolding(QPoint(target->x + target->width / 2, target->y + target->height / 2))
               : pointerScreen;
    const Rect frame = chipFrame(size * qtScale(*home), target, screens, pointerPixel);
    const QScreen* standsOn = screenHolding(QPoint(frame.x, frame.y));
    return {fromScreenPixels(QPoint(frame.x, frame.y), *standsOn), size};
}

} // namespace tessary
