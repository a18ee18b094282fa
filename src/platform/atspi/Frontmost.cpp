#include "platform/atspi/Frontmost.h"

namespace tessary {

Frontmost::Extents placeOnScreen(const Frontmost::Extents& content, const Frontmost::Extents& element,
                                 const Frontmost::Extents& windowFrame)
{
    return Frontmost::Extents{content.x + element.x - windowFrame.x, content.y + element.y - windowFrame.y,
                              element.width, element.height};
}

} // namespace tessary
