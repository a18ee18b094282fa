#include "analysis/LinkDetector.h"

#include "analysis/IcuRegex.h"

#include <utility>

namespace tessary {

namespace {

const IcuRegex& webAddressPattern()
{
    // Chinese, Japanese and Korean text runs on into a link without a space: its punctuation
    // (full-width or not) and its letters end the link.
    static const IcuRegex pattern(QStringLiteral(R"(\b(?:https?://|www\.))"
                                                 R"([^\s<>"`\x{0}-\x{1F}\x{3000}-\x{303F}\x{FF00}-\x{FFEF})"
                                                 R"(\p{Han}\p{Hiragana}\p{Katakana}\p{Hangul}]+)"),
                                  IcuRegex::caseInsensitive);
    return pattern;
}

bool isTrailingPunctuation(QChar c)
{
    return QStringView(u".,;:!?'\")]}*").contains(c);
}

// A closing bracket at the end belongs to the link only when the link opened it.
bool closesOwnBracket(QStringView link)
{
    static constexpr std::pair<char16_t, char16_t> brackets[] = {{u'(', u')'}, {u'[', u']'}, {u'{', u'}'}};
    for (const auto& [opening, closing] : brackets)
        if (link.back() == QChar(closing))
            return link.count(QChar(opening)) >= link.count(QChar(closing));
    return false;
}

QStringView withoutTrailingPunctuation(QStringView link)
{
    while (!link.isEmpty() && isTrailingPunctuation(link.back()) && !closesOwnBracket(link))
        link.chop(1);
    return link;
}

bool startsWithWww(QStringView link)
{
    return link.startsWith(QLatin1String("www."), Qt::CaseInsensitive);
}

} // namespace

QList<DetectedLink> detectLinks(const QString& text)
{
    QList<DetectedLink> links;
    webAddressPattern().forEachMatch(text, 0, [&](const RegexMatch& match) {
        const QStringView link =
            withoutTrailingPunctuation(QStringView(text).sliced(match.start, match.end - match.start));
        const bool www = startsWithWww(link);
        // Text made from HTML often keeps the escaped "&" of a query; sent as "&amp;" it breaks
        // every parameter after it, the token among them.
        QString address = link.toString();
        address.replace(QLatin1String("&amp;"), QLatin1String("&"), Qt::CaseInsensitive);
        const QUrl url(www ? QLatin1String("http://") + address : address, QUrl::TolerantMode);
        if (!url.isValid() || url.host().isEmpty())
            return;
        links.append(DetectedLink{url, match.start, link.size()});
    });
    return links;
}

} // namespace tessary
