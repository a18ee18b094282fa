#include "analysis/FieldLines.h"

#include "analysis/NumberShape.h"
#include "analysis/TextLines.h"

#include <algorithm>

namespace tessary {

namespace {

// "Numéro de suivi : ": how long a field's name may be.
constexpr qsizetype nameReach = 24;
// "Longest run: 18.2 km on 2026-12-06": a line of a list of named fields is short.
constexpr qsizetype fieldLineLength = 120;

// Where the colon that ends the short name a line begins with stands ("Runs: 5"), when a value
// follows it on the line; -1 otherwise, and for a line at -1.
qsizetype fieldColon(QStringView text, qsizetype begin)
{
    if (begin < 0)
        return -1;
    const qsizetype limit = std::min(text.size(), begin + nameReach + 1);
    bool named = false;
    for (qsizetype at = begin; at < limit; ++at) {
        const QChar c = text[at];
        if (c == QLatin1Char(':')) {
            qsizetype value = at + 1;
            while (value < text.size() && isDigitGroupSpace(text[value]))
                ++value;
            return named && value < text.size() && !isLineBreak(text[value]) ? at : -1;
        }
        if (isLineBreak(c) || c.isDigit())
            return -1;
        named = named || c.isLetter();
    }
    return -1;
}

// Where the line before the one beginning at `begin` begins (blank lines skipped), or -1 when there
// is none or it is longer than a field's line.
qsizetype previousLineStart(QStringView text, qsizetype begin)
{
    qsizetype at = begin;
    while (at > 0 && (isLineBreak(text[at - 1]) || isDigitGroupSpace(text[at - 1])))
        --at;
    if (at == 0)
        return -1;
    const qsizetype reach = std::max<qsizetype>(at - fieldLineLength, 0);
    while (at > reach && !isLineBreak(text[at - 1]))
        --at;
    return at == 0 || isLineBreak(text[at - 1]) ? at : -1;
}

// Where the line after the one holding `position` begins (blank lines skipped), or -1.
qsizetype nextLineStart(QStringView text, qsizetype position)
{
    const qsizetype reach = std::min(text.size(), position + fieldLineLength);
    qsizetype at = position;
    while (at < reach && !isLineBreak(text[at]))
        ++at;
    if (at == reach)
        return -1;
    while (at < text.size() && (isLineBreak(text[at]) || isDigitGroupSpace(text[at])))
        ++at;
    return at < text.size() ? at : -1;
}

} // namespace

std::optional<FieldName> listedFieldName(QStringView text, qsizetype valueStart)
{
    qsizetype colon = valueStart;
    while (colon > 0 && isDigitGroupSpace(text[colon - 1]))
        --colon;
    if (colon == 0 || text[colon - 1] != QLatin1Char(':'))
        return std::nullopt;
    qsizetype begin = colon - 1;
    while (begin > 0 && !isLineBreak(text[begin - 1]) && colon - begin <= nameReach)
        --begin;
    const bool lineBegins = begin == 0 || isLineBreak(text[begin - 1]);
    if (!lineBegins || fieldColon(text, begin) != colon - 1)
        return std::nullopt;
    if (fieldColon(text, previousLineStart(text, begin)) < 0 &&
        fieldColon(text, nextLineStart(text, valueStart)) < 0)
        return std::nullopt;
    return FieldName{begin, colon};
}

} // namespace tessary
