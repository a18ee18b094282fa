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

// Dots that stand for the hidden digits of a card or an account: bullets and middle dots.
bool isMaskDot(QChar c)
{
    return c.unicode() == 0x2022 || c.unicode() == 0x00B7 || c.unicode() == 0x2219 || c.unicode() == 0x25CF;
}

// "•••• 4521", "···· 2290", "...6521", "…4410": the shown end of a masked card or account number. A
// run of two dots at least, or an ellipsis; the full stops of an ellipsis only right before the
// digits, as after a space they end a sentence ("Your code is... 482913").
bool followsAMask(QStringView text, qsizetype start)
{
    const auto at = [text](qsizetype i) { return i >= 0 && i < text.size() ? text[i] : QChar(); };
    if (at(start - 1) == QChar(0x2026) ||
        (at(start - 1) == QLatin1Char('.') && at(start - 2) == QLatin1Char('.')))
        return true;
    const qsizetype last = isDigitGroupSpace(at(start - 1)) ? start - 2 : start - 1;
    return isMaskDot(at(last)) && isMaskDot(at(last - 1));
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
        if (QChar::isDigit(c)) // "４８２０１９", "٤٨٢٩١٣": fields take the ASCII digits
            digits.append(QLatin1Char(char('0' + QChar::digitValue(c))));
    });
    return digits;
}

bool isPartOfALongerNumber(QStringView text, qsizetype start, qsizetype end)
{
    const auto at = [text](qsizetype i) { return i >= 0 && i < text.size() ? text[i] : QChar(); };
    const QChar before = at(start - 1);
    const QChar beforeThat = at(start - 2);
    const QChar after = at(end);
    const QChar afterThat = at(end + 1);
    // "*482913*" is emphasis (the plain-text form of a bold code), not a masked card.
    const bool emphasised = before == QLatin1Char('*') && after == QLatin1Char('*');
    if (before == QLatin1Char('+') || before == QLatin1Char('#') || before == QLatin1Char(')') ||
        (before == QLatin1Char('*') && !emphasised) || isCurrency(before))
        return true;
    if ((joinsDigits(before) && beforeThat.isDigit()) || followsAMask(text, start))
        return true;
    if (isDigitGroupSpace(before) && (beforeThat.isDigit() || beforeThat == QLatin1Char(')') ||
                                      beforeThat == QLatin1Char('*') || isCurrency(beforeThat)))
        return true;
    if (after == QLatin1Char('%') || (after == QLatin1Char('*') && !emphasised) || isCurrency(after))
        return true;
    // After a space, only a group of three digits or more goes on a number ("0800 123 4567"); one
    // or two digits are a quantity of their own ("482913 5分钟内有效", "482913 10 minutes").
    const bool groupFollows = afterThat.isDigit() && at(end + 2).isDigit() && at(end + 3).isDigit();
    return (joinsDigits(after) && afterThat.isDigit()) || (isDigitGroupSpace(after) && groupFollows) ||
           (isDigitGroupSpace(after) && isCurrency(afterThat));
}

bool isPostalCode(QStringView text, qsizetype start, qsizetype end)
{
    const auto at = [text](qsizetype i) { return i >= 0 && i < text.size() ? text[i] : QChar(); };
    const qsizetype digits = end - start;
    const auto isCapital = [](QChar c) { return c >= QLatin1Char('A') && c <= QLatin1Char('Z'); };
    if (digits == 5 && at(start - 1) == QLatin1Char(' ') && isCapital(at(start - 2)) &&
        isCapital(at(start - 3)) && at(start - 4) == QLatin1Char(' ') && at(start - 5) == QLatin1Char(','))
        return true;
    if ((digits != 4 && digits != 5) || at(end) != QLatin1Char(' ') || !at(end + 1).isUpper() ||
        !at(end + 2).isLetter())
        return false;
    qsizetype before = start - 1;
    while (isDigitGroupSpace(at(before)))
        --before;
    return before < start - 1 && (at(before) == QLatin1Char(',') || at(before) == QChar(0x00B7));
}

bool isDigitGroupSpace(QChar c)
{
    return c == QLatin1Char(' ') || c.unicode() == 0x00A0 || c.unicode() == 0x202F;
}

} // namespace tessary
