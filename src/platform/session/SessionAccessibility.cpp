#include "platform/session/SessionAccessibility.h"

#include "platform/kwin/KwinFrontmost.h"
#include "platform/session/DesktopSession.h"
#include "platform/sway/SwayFrontmost.h"
#include "platform/x11/EwmhFrontmost.h"
#include "platform/x11/XTestKeyboard.h"

namespace tessary {

std::unique_ptr<Frontmost> makeSessionFrontmost()
{
    if (DesktopSession::current() == DesktopSession::Kind::sway)
        return std::make_unique<SwayFrontmost>(SwayIpc::fromEnvironment());
    if (DesktopSession::current() == DesktopSession::Kind::kwin)
        return std::make_unique<KwinFrontmost>();
    return std::make_unique<EwmhFrontmost>();
}

std::unique_ptr<AtspiAccessibility> makeSessionAccessibility()
{
    return std::make_unique<AtspiAccessibility>(makeSessionFrontmost(), sessionCanType());
}

bool sessionCanType()
{
    switch (DesktopSession::current()) {
    case DesktopSession::Kind::x11:
        return XTestKeyboard::serverHasXTest();
    case DesktopSession::Kind::sway:
    case DesktopSession::Kind::kwin:
        return true;
    case DesktopSession::Kind::otherWayland:
    case DesktopSession::Kind::none:
        break;
    }
    return false;
}

QString sessionProblem()
{
    return DesktopSession::problem(DesktopSession::current(),
                                   DesktopSession::desktop(DesktopSession::readEnvironment()));
}

} // namespace tessary
