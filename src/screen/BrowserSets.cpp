#include "screen/BrowserSets.h"

namespace tessary {

const QSet<QString>& chromiumBrowsers()
{
    static const QSet<QString> browsers{
        // macOS
        QStringLiteral("com.google.Chrome"),
        QStringLiteral("com.google.Chrome.canary"),
        QStringLiteral("company.thebrowser.Browser"),
        QStringLiteral("company.thebrowser.dia"),
        QStringLiteral("com.brave.Browser"),
        QStringLiteral("com.microsoft.edgemac"),
        QStringLiteral("com.vivaldi.Vivaldi"),
        QStringLiteral("com.operasoftware.Opera"),
        // Linux
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
    };
    return browsers;
}

const QSet<QString>& linkBrowsers()
{
    static const QSet<QString> browsers =
        chromiumBrowsers() + QSet<QString>{
                                 QStringLiteral("com.apple.Safari"),
                                 QStringLiteral("com.apple.SafariTechnologyPreview"),
                                 QStringLiteral("firefox"),
                                 QStringLiteral("firefox-esr"),
                             };
    return browsers;
}

} // namespace tessary
