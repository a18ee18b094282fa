#include "analysis/CodeVocabulary.h"

#include <QList>

#include <gtest/gtest.h>

using namespace tessary;

namespace {

QList<qsizetype> matchesOf(const IcuRegex& regex, const QString& text)
{
    QList<qsizetype> found;
    regex.forEachMatch(text, 1, [&found](const RegexMatch& match) {
        found << match.start << match.end << match.groupStart << match.groupEnd;
    });
    return found;
}

} // namespace

// The code patterns are tried only where their filter lets a match begin; they must find exactly
// what ICU's own search of the same pattern finds.
TEST(CodePatternStarts, FilteredSearchesFindWhatAFullSearchFinds)
{
    const QStringList texts = {
        "G-583920 or AB-12 or ABCD-1234 or a482913 or 482913a or _4821 or 4821_ or -4821 or 4821-",
        "ABC123DEF x AB12CD, QX7-9KD; ÀB12CD Ñ4821 ß4821 é ABCDEF 1234 5678 123-456 12345678901",
        QString::fromUtf8("验证码482913 인증번호7310입니다 １２３４５６ ٤٨٢٩١٣ 𝟏𝟐𝟑𝟒𝟓𝟔 x𝟏𝟐𝟑𝟒"),
        "see https://a.example/x?c=482913, HTTP://B.EXAMPLE/Y www.c.example WWW.D hthttp://e.example",
        "",
        "A",
        "1234",
        "AB-",
        "h",
        "ww",
    };
    const IcuRegex* const patterns[] = {&numericCodePattern(), &alphanumericCodePattern(), &linkPattern()};
    for (const IcuRegex* filtered : patterns) {
        const IcuRegex full(filtered->pattern(), filtered->options());
        for (const QString& text : texts) {
            SCOPED_TRACE((filtered->pattern() + " on " + text).toStdString());
            const QList<qsizetype> found = matchesOf(*filtered, text);
            EXPECT_EQ(found, matchesOf(full, text));
        }
    }
}
