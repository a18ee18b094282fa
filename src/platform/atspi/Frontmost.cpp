#include "platform/atspi/Frontmost.h"

#include <cmath>

namespace tessary {

Frontmost::Extents placeOnScreen(const Frontmost::Extents& content, const Frontmost::Extents& element,
                                 const Frontmost::Extents& windowFrame, double scale)
{
    const auto onScreen = [scale](int length) { return int(std::lround(length * scale)); };
    return Frontmost::Extents{content.x + onScreen(element.x - windowFrame.x),
                              content.y + onScreen(element.y - windowFrame.y), onScreen(element.width),
                              onScreen(element.height)};
}

} // namespace tessary
