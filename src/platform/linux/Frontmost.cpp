#include "platform/linux/Frontmost.h"

#include "platform/linux/EwmhFrontmost.h"
#include "platform/linux/SwayFrontmost.h"

namespace tessary {

std::unique_ptr<Frontmost> Frontmost::forSession(DesktopSession::Kind kind)
{
    if (kind == DesktopSession::Kind::sway)
        return std::make_unique<SwayFrontmost>(SwayIpc::fromEnvironment());
    return std::make_unique<EwmhFrontmost>();
}

Frontmost::Extents placeOnScreen(const Frontmost::Extents& content, const Frontmost::Extents& element,
                                 const Frontmost::Extents& windowFrame)
{
    return Frontmost::Extents{content.x + element.x - windowFrame.x, content.y + element.y - windowFrame.y,
                              element.width, element.height};
}

} // namespace tessary
