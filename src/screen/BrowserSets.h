#pragma once

#include <QSet>
#include <QString>

namespace tessary {

// Chromium-family browsers: they build their web content's accessibility tree only when asked,
// so `prepareAccessibility` asks them. Desktop-file ids.
const QSet<QString>& chromiumBrowsers();

// Browsers whose pages link-page detection reads: the Chromium family plus Firefox.
const QSet<QString>& linkBrowsers();

} // namespace tessary
