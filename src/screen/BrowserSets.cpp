#include "screen/BrowserSets.h"

namespace tessary {

const QSet<QString>& chromiumBrowsers()
{
    static const QSet<QString> browsers{
        QStringLiteral("google-chrome"),          QStringLiteral("google-chrome-beta"),
        QStringLiteral("google-chrome-unstable"), QStringLiteral("chromium"),
        QStringLiteral("chromium-browser"),       QStringLiteral("brave-browser"),
        QStringLiteral("microsoft-edge"),         QStringLiteral("microsoft-edge-beta"),
        QStringLiteral("vivaldi-stable"),         QStringLiteral("opera"),
    };
    return browsers;
}

const QSet<QString>& linkBrowsers()
{
    static const QSet<QString> browsers = chromiumBrowsers() + QSet<QString>{
                                                                   QStringLiteral("firefox"),
                                                                   QStringLiteral("firefox-esr"),
                                                               };
    return browsers;
}

} // namespace tessary
