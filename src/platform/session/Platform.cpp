#include "platform/session/Platform.h"

#include "common/AppIdentity.h"

#include <QCoreApplication>

namespace tessary {

Platform::Platform()
    : loginItem(applicationId(), {QCoreApplication::applicationFilePath()})
{
}

} // namespace tessary
