#include "analysis/NumberShape.h"

namespace tessary {

namespace {

// Calls `visit` with each code point of `text` (\d also matches digits outside the BMP).
template <class Visit>
void forEachCodePoint(QStringView text, Visit visit)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            visit(QChar::surrogateToUcs4(unit, text[i + 1].unicode()));
            ++i;
        } else {
            visit(char32_t(unit));
        }
    }
}

bool isCurrency(QChar c)
{
    return c.category() == QChar::Symbol_Currency;
}

// Arabic-script amounts group with U+066C and mark decimals with U+066B.
bool joinsDigits(QChar c)
{
    return c == QLatin1Char('.') || c == QLatin1Char(',') || c == QLatin1Char('/') || c == QLatin1Char(':') ||
           c.unicode() == 0x066B || c.unicode() == 0x066C;
}

} // namespace

NumericDigits numericDigits(QStringView group)
{
    NumericDigits digits;
    forEachCodePoint(group, [&digits](char32_t c) {
        if (QChar::isDigit(c)) {
            ++digits.count;
            digits.value = digits.value * 10 + QChar::digitValue(c);
        }
    });
    return digits;
}

QString digitsOf(QStringView group)
{
    QString digits;
    forEachCodePoint(group, [&digits](char32_t c) {
        if (QChar::isDigit(c))
            digits.append(QChar::fromUcs4(c));
    });
    return digits;
}

bool isPartOfALongerNumber(QStringView text, qsizetype start, qsizetype end)
{
    const auto at = [text](qsizetype i) { return i >= 0 && i < text.size() ? text[i] : QChar(); };
    const QChar before = at(start - 1);
    const QChar beforeThat = at(start - 2);
    if (before == QLatin1Char('+') || before == QLatin1Char('#') || before == QLatin1Char(')') ||
        before == QLatin1Char('*') || isCurrency(before))
        return true;
    if (joinsDigits(before) && beforeThat.isDigit())
        return true;
    if (isDigitGroupSpace(before) && (beforeThat.isDigit() || beforeThat == QLatin1Char(')') ||
                                      beforeThat == QLatin1Char('*') || isCurrency(beforeThat)))
        return true;
    const QChar after = at(end);
    const QChar afterThat = at(end + 1);
    if (after == QLatin1Char('%') || after == QLatin1Char('*') || isCurrency(after))
        return true;
    return ((joinsDigits(after) || isDigitGroupSpace(after)) && afterThat.isDigit()) ||
           (isDigitGroupSpace(after) && isCurrency(afterThat));
}

bool isDigitGroupSpace(QChar c)
{
    return c == QLatin1Char(' ') || c.unicode() == 0x00A0 || c.unicode() == 0x202F;
}

} // namespace tessary
