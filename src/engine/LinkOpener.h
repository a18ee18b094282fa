#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace tessary {

// Opens an e-mailed link: in the application that showed the page waiting for it (its desktop
// file or executable, as a link page names it), else with the desktop's default handler.
// Says whether a browser took the link; a link that fails to open leaves no further trace.
class LinkOpener {
public:
    virtual ~LinkOpener() = default;
    virtual bool open(const QUrl& url, const std::optional<QString>& application) = 0;
};

} // namespace tessary
