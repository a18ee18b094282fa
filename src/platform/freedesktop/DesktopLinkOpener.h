#pragma once

#include "engine/LinkOpener.h"

#include <QStringList>

namespace tessary {

// Opens a link in the application that showed its page: through its desktop file's Exec line, or
// its executable; without one, or when that fails to start, through the desktop's default handler.
class DesktopLinkOpener final : public LinkOpener {
public:
    bool open(const QUrl& url, const std::optional<QString>& application) override;

    // The command a desktop file's Exec line runs for one URL: %u and %U become the URL, the other
    // field codes go, "%%" is a percent sign; a line with no URL code gets the URL appended. Empty
    // when the line holds no program.
    static QStringList command(const QString& desktopFile, const QUrl& url);
};

} // namespace tessary
