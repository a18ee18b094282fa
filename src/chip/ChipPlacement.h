#pragma once

#include "screen/Accessibility.h"

#include <QList>
#include <QPointF>
#include <QRect>
#include <QSizeF>

#include <optional>

namespace tessary {

// One monitor in bottom-left coordinates: its whole frame and the part windows may use (without
// panels and docks).
struct ScreenArea {
    Rect frame;
    Rect visibleFrame;
};

// Where a chip of `size` goes, in bottom-left coordinates: under `target` (or above it when below
// would leave the visible area of the first screen the target touches), pushed left to stay 4
// inside that area; without a target, its top-left corner 12 right of and 12 below `pointer`.
Rect chipFrame(QSizeF size, const std::optional<Rect>& target, const QList<ScreenArea>& screens,
               QPointF pointer);

// The one crossing between the bottom-left space the accessibility layer reports in and Qt's
// top-left one, in either direction: the mirror image about the primary screen's horizontal middle.
Rect flipped(const Rect& rect, double primaryHeight);
inline Rect toRect(const QRectF& rect)
{
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}
inline QRect toQRect(const Rect& rect)
{
    return QRectF(rect.x, rect.y, rect.width, rect.height).toRect();
}

} // namespace tessary
