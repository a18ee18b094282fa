#include "platform/session/Platform.h"

#include "common/AppIdentity.h"

#include <QCoreApplication>

namespace tessary {

Platform::Platform(std::unique_ptr<BackendConnection> madeConnection,
                   std::unique_ptr<AtspiAccessibility> madeAccessibility)
    : liveConnection(std::move(madeConnection))
    , liveAccessibility(std::move(madeAccessibility))
    , loginItem(applicationId(), {QCoreApplication::applicationFilePath()})
{
}

} // namespace tessary
