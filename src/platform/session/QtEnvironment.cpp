#include "platform/session/QtEnvironment.h"

#include <QtGlobal>

namespace tessary {

void setQtEnvironment(DesktopSession::Kind kind)
{
    constexpr const char* noFrames = "QT_WAYLAND_DISABLE_WINDOWDECORATION";
    if (kind == DesktopSession::Kind::sway && !qEnvironmentVariableIsSet(noFrames))
        qputenv(noFrames, "1");
}

} // namespace tessary
