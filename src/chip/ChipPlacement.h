#pragma once

#include "screen/Accessibility.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace tessary {

// One monitor in screen pixels: its whole frame and the part windows may use (without panels and
// docks).
struct ScreenArea {
    Rect frame;
    Rect visibleFrame;
};

// Where a chip of `size` goes: under `target` (or above it when below would leave the visible area
// of the first screen the target touches), pushed left to stay 4 inside that area; without a
// target, its top-left corner 12 right of and 12 below `pointer`.
Rect chipFrame(QSize size, const std::optional<Rect>& target, const QList<ScreenArea>& screens,
               QPoint pointer);

inline Rect toRect(const QRect& rect)
{
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}
inline QRect toQRect(const Rect& rect)
{
    return {rect.x, rect.y, rect.width, rect.height};
}

} // namespace tessary
