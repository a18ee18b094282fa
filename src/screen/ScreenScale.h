#pragma once

#include "screen/Rect.h"

#include <QPoint>
#include <QRect>
#include <QStringView>

#include <cmath>

namespace tessary {

// How Qt's pixels on one screen meet the window system's screen pixels. On X11 the server scales
// nothing, so a pixel ratio other than 1 is all Qt's own (from Xft.dpi, as a desktop at 200 % sets
// it): Qt divides every length by it, keeping the screen's top-left corner, while other programs'
// frames stay in the server's pixels. On Wayland both already speak the compositor's pixels.
struct ScreenScale {
    QPoint origin; // the screen's top-left corner, the same in both
    qreal ratio = 1;

    static ScreenScale of(QStringView qtPlatform, QPoint origin, qreal devicePixelRatio)
    {
        return {origin, qtPlatform == u"xcb" ? devicePixelRatio : 1.0};
    }

    QPoint toScreenPixels(QPoint qt) const { return origin + (qt - origin) * ratio; }
    QPoint fromScreenPixels(QPoint pixel) const { return origin + (pixel - origin) / ratio; }
    Rect toScreenPixels(const QRect& qt) const
    {
        const QPoint corner = toScreenPixels(qt.topLeft());
        return {corner.x(), corner.y(), int(std::lround(qt.width() * ratio)),
                int(std::lround(qt.height() * ratio))};
    }
};

} // namespace tessary
