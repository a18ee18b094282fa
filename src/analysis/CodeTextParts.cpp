#include "analysis/CodeTextParts.h"

#include "analysis/CodeVocabulary.h"

#include <algorithm>

namespace tessary {

namespace {

// "[CUSTOMER FIRST NAME]": how far the brackets of a template's placeholder may stand from a word in it.
constexpr qsizetype placeholderReach = 40;
// A code its site states in the origin-bound form is as sure as a code alone in the subject.
constexpr qint64 boundCodeScore = 40;
constexpr qsizetype longestBoundCode = 32;

// Whether [start, end) stands inside square brackets on its line, the brackets at most
// `placeholderReach` units away.
bool isInsideBrackets(QStringView text, qsizetype start, qsizetype end)
{
    bool opened = false;
    for (qsizetype at = start - 1; at >= std::max<qsizetype>(start - placeholderReach, 0); --at) {
        const QChar c = text[at];
        if (c == QLatin1Char(']') || isLineBreak(c))
            return false;
        if (c == QLatin1Char('[')) {
            opened = true;
            break;
        }
    }
    if (!opened)
        return false;
    for (qsizetype at = end; at < std::min(end + placeholderReach, text.size()); ++at) {
        const QChar c = text[at];
        if (c == QLatin1Char('[') || isLineBreak(c))
            return false;
        if (c == QLatin1Char(']'))
            return true;
    }
    return false;
}

bool isHostUnit(QChar c)
{
    return isAsciiLetterOrDigit(c) || c == QLatin1Char('.') || c == QLatin1Char('-') || c == QLatin1Char(':');
}

} // namespace

std::vector<std::pair<qsizetype, qsizetype>> linkSpans(const QString& text)
{
    std::vector<std::pair<qsizetype, qsizetype>> spans;
    linkPattern().forEachMatch(
        text, 0, [&spans](const RegexMatch& match) { spans.emplace_back(match.start, match.end); });
    return spans;
}

bool isAsciiLetterOrDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

bool isAsciiDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

bool countsUp(QStringView digits)
{
    return std::adjacent_find(digits.begin(), digits.end(), [](QChar a, QChar b) {
               return b.unicode() != a.unicode() + 1;
           }) == digits.end();
}

bool isUpperOrDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z');
}

bool hasDigit(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

bool isPlaceholder(QStringView text, qsizetype start, qsizetype end)
{
    const QStringView inside = text.sliced(start, end - start);
    const bool oneCharacter =
        std::all_of(inside.begin(), inside.end(), [&inside](QChar c) { return c == inside.front(); });
    return (!hasDigit(inside) || oneCharacter) && isInsideBrackets(text, start, end);
}

bool gluesToCode(QChar c)
{
    if (c == QLatin1Char('-') || c == QLatin1Char('_') || c.isDigit())
        return true;
    if (!c.isLetter() && !c.isMark())
        return false;
    const QChar::Script script = c.script();
    return script != QChar::Script_Han && script != QChar::Script_Hiragana &&
           script != QChar::Script_Katakana && script != QChar::Script_Hangul && c.unicode() != 0x30FC;
}

bool isStopWord(QStringView raw)
{
    QString compact = raw.toString();
    compact.remove(QLatin1Char('-'));
    return codeStopWords().contains(compact);
}

std::optional<ExtractedCode> originBoundCode(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    const QStringView line = trimmed.sliced(lineStart(trimmed, trimmed.size()));
    QList<QStringView> words = line.split(QLatin1Char(' '));
    const auto isHost = [](QStringView word) {
        return word.size() > 1 && word.front() == QLatin1Char('@') && word.contains(QLatin1Char('.')) &&
               std::all_of(word.begin() + 1, word.end(), isHostUnit);
    };
    if (words.size() >= 3 && isHost(words.back()) && words[words.size() - 2].startsWith(QLatin1Char('#')))
        words.removeLast(); // the embedded site: the code is still the top-level site's to ask for
    if (words.size() < 2 || !isHost(words[words.size() - 2]) || !words.back().startsWith(QLatin1Char('#')))
        return std::nullopt;
    const QStringView code = words.back().sliced(1);
    const bool codeLike = std::all_of(
        code.begin(), code.end(), [](QChar c) { return isAsciiLetterOrDigit(c) || c == QLatin1Char('-'); });
    if (!codeLike || !hasDigit(code) || code.size() > longestBoundCode)
        return std::nullopt;
    return ExtractedCode{code.toString(), boundCodeScore, words[words.size() - 2].sliced(1).toString()};
}

qsizetype earlierMessageStart(QStringView text, qsizetype from)
{
    const QLatin1StringView dashes("-----");
    for (qsizetype at = from; at < text.size(); at = lineEnd(text, at) + 1) {
        const QStringView line = text.sliced(at, lineEnd(text, at) - at).trimmed();
        if (line.size() <= 2 * dashes.size() || !line.startsWith(dashes) || !line.endsWith(dashes))
            continue;
        // The words touch the dashes: "----- Your code -----" is a heading.
        const QStringView words = line.sliced(dashes.size(), line.size() - 2 * dashes.size());
        if (words.front().isLetter() && words.back().isLetter() &&
            !words.startsWith(QLatin1String("BEGIN ")) && !words.startsWith(QLatin1String("END ")))
            return lineEnd(text, at);
    }
    return text.size();
}

} // namespace tessary
