#include "screen/BrowserSets.h"

namespace tessary {

const QSet<QString>& chromiumBrowsers()
{
    static const QSet<QString> browsers{
        QStringLiteral("google-chrome"),
        QStringLiteral("google-chrome-beta"),
        QStringLiteral("google-chrome-unstable"),
        QStringLiteral("chromium"),
        QStringLiteral("chromium-browser"),
        QStringLiteral("brave-browser"),
        QStringLiteral("microsoft-edge"),
        QStringLiteral("microsoft-edge-beta"),
        QStringLiteral("vivaldi-stable"),
        QStringLiteral("opera"),
        // Packaged as snaps and Flatpaks, which name their desktop files after the package.
        QStringLiteral("chromium_chromium"),
        QStringLiteral("org.chromium.Chromium"),
        QStringLiteral("com.google.Chrome"),
        QStringLiteral("com.brave.Browser"),
        QStringLiteral("brave_brave"),
        QStringLiteral("com.microsoft.Edge"),
        QStringLiteral("com.vivaldi.Vivaldi"),
        QStringLiteral("com.opera.Opera"),
    };
    return browsers;
}

const QSet<QString>& linkBrowsers()
{
    static const QSet<QString> browsers = chromiumBrowsers() + QSet<QString>{
                                                                   QStringLiteral("firefox"),
                                                                   QStringLiteral("firefox-esr"),
                                                                   QStringLiteral("firefox_firefox"),
                                                                   QStringLiteral("org.mozilla.firefox"),
                                                               };
    return browsers;
}

} // namespace tessary
