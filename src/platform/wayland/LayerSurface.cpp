#include "platform/wayland/LayerSurface.h"

#include <algorithm>

namespace tessary {

std::optional<OutputPlacement> placeOnOutputs(const QList<QRect>& outputs, QPoint topLeft)
{
    if (outputs.isEmpty())
        return std::nullopt;
    // Distance from the point to each rectangle, zero inside it; the first of equals wins.
    const auto distance = [&](const QRect& area) {
        const int dx = std::max({area.left() - topLeft.x(), 0, topLeft.x() - area.right()});
        const int dy = std::max({area.top() - topLeft.y(), 0, topLeft.y() - area.bottom()});
        return qint64(dx) * dx + qint64(dy) * dy;
    };
    const auto nearest =
        std::min_element(outputs.begin(), outputs.end(),
                         [&](const QRect& a, const QRect& b) { return distance(a) < distance(b); });
    const QRect& area = *nearest;
    const QPoint margin(std::clamp(topLeft.x() - area.left(), 0, std::max(0, area.width() - 1)),
                        std::clamp(topLeft.y() - area.top(), 0, std::max(0, area.height() - 1)));
    return OutputPlacement{int(nearest - outputs.begin()), margin};
}

} // namespace tessary
