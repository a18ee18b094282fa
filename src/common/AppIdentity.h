#pragma once

#include <QString>

namespace tessary {

// The application id the build was made with ("com.tessary.mac", or one ending in ".dev").
inline QString applicationId()
{
    return QStringLiteral(TESSARY_APP_ID);
}

// A developer build differs in its default shortcut, its open-at-login default and more; it is
// recognised by its application id alone, so the two builds can run side by side.
inline bool isDevBuild(const QString& appId = applicationId())
{
    return appId.endsWith(QLatin1String(".dev"));
}

} // namespace tessary
