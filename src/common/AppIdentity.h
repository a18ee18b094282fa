#pragma once

#include <QString>

namespace tessary {

// How a developer build's application id ends.
inline const QString developerIdSuffix = QStringLiteral(".Devel");

// The application id the build was made with: "com.tessary.Tessary", or one ending in ".Devel". It
// names the desktop file, the icon, the D-Bus name, the settings and token files, the autostart
// entry, the keyring items and the burst log's category.
inline QString applicationId()
{
    return QStringLiteral(TESSARY_APP_ID);
}

// A developer build differs in its default shortcut, its open-at-login default and more; it is
// recognised by its application id alone, so the two builds can run side by side.
inline bool isDevBuild(const QString& appId = applicationId())
{
    return appId.endsWith(developerIdSuffix);
}

} // namespace tessary
