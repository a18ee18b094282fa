#include "chip/ChipPlacement.h"

#include <algorithm>

namespace tessary {

namespace {

constexpr int fieldGap = 4;    // between the field and the chip, and the chip and the screen edge
constexpr int pointerGap = 12; // between the pointer and the chip's top-left corner

// Overlap with area: rectangles that merely touch, or have no area, do not meet.
bool meets(const Rect& a, const Rect& b)
{
    if (a.width <= 0 || a.height <= 0 || b.width <= 0 || b.height <= 0)
        return false;
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

} // namespace

Rect chipFrame(QSize size, const std::optional<Rect>& target, const QList<ScreenArea>& screens,
               QPoint pointer)
{
    const int w = size.width();
    const int h = size.height();
    if (!target)
        return {pointer.x() + pointerGap, pointer.y() + pointerGap, w, h};

    const Rect& r = *target;
    int y = r.y + r.height + fieldGap;
    const auto screen = std::find_if(screens.begin(), screens.end(),
                                     [&](const ScreenArea& area) { return meets(area.frame, r); });
    // Off every screen there is no visible area to keep to.
    if (screen == screens.end())
        return {r.x, y, w, h};
    const Rect& visible = screen->visibleFrame;
    if (y + h > visible.y + visible.height)
        y = r.y - h - fieldGap;
    const int x = std::min(r.x, visible.x + visible.width - w - fieldGap);
    return {x, y, w, h};
}

} // namespace tessary
