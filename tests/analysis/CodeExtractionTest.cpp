#include "analysis/CodeExtraction.h"
#include "analysis/CodeVocabulary.h"

#include <QFile>
#include <QList>

#include <gtest/gtest.h>

using namespace tessary;

namespace {

struct Row {
    QString rule;
    QString subject;
    QString body;
    QString expected; // "code score", or "none"
};

QString outcome(const QString& subject, const QString& body)
{
    const std::optional<ExtractedCode> found = extractCode(subject, body);
    return found ? found->code + ' ' + QString::number(found->score) : QStringLiteral("none");
}

const auto spaces = [](qsizetype count) { return QString(count, QLatin1Char(' ')); };

const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
const QString fullWidth =
    QString::fromUtf8("\xEF\xBC\x98\xEF\xBC\x93\xEF\xBC\x94\xEF\xBC\x92\xEF\xBC\x90\xEF\xBC\x91");

QList<qsizetype> matchesOf(const IcuRegex& regex, const QString& text)
{
    QList<qsizetype> found;
    regex.forEachMatch(text, 1, [&found](const RegexMatch& match) {
        found << match.start << match.end << match.groupStart << match.groupEnd;
    });
    return found;
}

} // namespace

// One row per rule the score is built from: those of extraction-rules.tsv, and those that need long
// runs of spaces, padding or characters of two units.
TEST(CodeExtraction, EachScoringRule)
{
    const QString far = spaces(200);
    const QString tail = QString(100, QLatin1Char('.')) + " 4821";
    const QString padding(scannedBodyLimit - 20, QLatin1Char('.'));
    QList<Row> rows = {
        {"promotion far away", "", "verification code: 834201" + far + "promo", "834201 30"},
        {"window start", "", "code" + spaces(76) + "4821", "4821 15"},
        {"before window", "", "code" + spaces(77) + "4821", "none"},
        {"window end", "", tail + spaces(72) + "code", "4821 15"},
        {"after window", "", tail + spaces(73) + "code", "none"},
        {"emoji is two units", "", "code" + emoji + spaces(74) + "4821", "4821 15"},
        {"emoji is two units, out", "", "code" + emoji + spaces(75) + "4821", "none"},
        {"subject in units", emoji + " code 834201", "x", "834201 40"},
        {"subject length in units", emoji + " code", "834201", "834201 25"},
        {"ten is not enough", "", "verification\n" + far + " 4821", "none"},
        {"full-width digits typed as ASCII", "", "code " + fullWidth, "834201 25"},
        {"inside the scanned start", "", padding + " code 834201", "834201 25"},
        {"beyond the scanned start", "", padding + spaces(20) + " code 834201", "none"},
    };
    QFile table(QStringLiteral(TESSARY_ANALYSIS_DATA "/extraction-rules.tsv"));
    ASSERT_TRUE(table.open(QIODevice::ReadOnly | QIODevice::Text));
    for (QString line : QString::fromUtf8(table.readAll()).split('\n', Qt::SkipEmptyParts)) {
        const QStringList columns = line.replace(QLatin1String("\\n"), QLatin1String("\n")).split('\t');
        if (!line.startsWith('#'))
            rows.append({columns.value(0), columns.value(1), columns.value(2), columns.value(3)});
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rule.toStdString());
        EXPECT_EQ(outcome(row.subject, row.body), row.expected);
    }
}

TEST(CodeExtraction, TheScannedStartNeverSplitsACharacter)
{
    const QString text = "code 834201 " + QString(scannedBodyLimit - 13, QLatin1Char('.')) + emoji + "x";
    ASSERT_TRUE(text.at(scannedBodyLimit - 1).isHighSurrogate());
    EXPECT_EQ(outcome(QString(), text), "834201 25");
}

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
