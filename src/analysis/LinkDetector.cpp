#include "analysis/LinkDetector.h"

#include "analysis/IcuRegex.h"
#include "analysis/TextLines.h"

#include <algorithm>
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
    // Typographic quotes and the ellipsis too: text set with them puts them right after a link.
    return QStringView(u".,;:!?'\")]}*\u201C\u201D\u2019\u00BB\u203A\u2026").contains(c);
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

// How far past a line break a link in angle brackets may run on.
constexpr qsizetype wrapReach = 2000;

// Where a link that a text mail wrapped inside angle brackets ends: "<https://a.example/x?t=ab" at
// a line end, continued by "cd>" on the next line, ends at that bracket. `end` when the link does
// not run on: no bracket before it, or text after it that a space, not a line break, sets apart.
qsizetype wrappedLinkEnd(QStringView text, qsizetype start, qsizetype end)
{
    if (start == 0 || text[start - 1] != QLatin1Char('<') || end >= text.size() || !text[end].isSpace())
        return end;
    bool lineBroken = false; // in the white space since the last piece of the link
    for (qsizetype i = end; i < std::min(text.size(), end + wrapReach); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('>'))
            return i;
        if (c == QLatin1Char('<'))
            return end;
        if (isLineBreak(c)) {
            lineBroken = true;
        } else if (!c.isSpace() && text[i - 1].isSpace()) {
            if (!lineBroken)
                return end;
            lineBroken = false;
        }
    }
    return end;
}

bool startsWithWww(QStringView link)
{
    return link.startsWith(QLatin1String("www."), Qt::CaseInsensitive);
}

} // namespace

QList<DetectedLink> detectLinks(const QString& text)
{
    QList<DetectedLink> links;
    qsizetype taken = 0; // where the last link ended, continuation lines included
    webAddressPattern().forEachMatch(text, 0, [&](const RegexMatch& match) {
        if (match.start < taken)
            return;
        const qsizetype end = wrappedLinkEnd(text, match.start, match.end);
        const QStringView whole = QStringView(text).sliced(match.start, end - match.start);
        const QStringView link = end == match.end ? withoutTrailingPunctuation(whole) : whole;
        taken = match.start + link.size();
        const bool www = startsWithWww(link);
        QString address = link.toString();
        address.removeIf([](QChar c) { return c.isSpace(); });
        // Text made from HTML often keeps the escaped "&" of a query; sent as "&amp;" it breaks
        // every parameter after it, the token among them.
        address.replace(QLatin1String("&amp;"), QLatin1String("&"), Qt::CaseInsensitive);
        const QUrl url(www ? QLatin1String("http://") + address : address, QUrl::TolerantMode);
        if (!url.isValid() || url.host().isEmpty())
            return;
        links.append(DetectedLink{url, match.start, link.size()});
    });
    return links;
}

} // namespace tessary
