#include "analysis/CodeExtraction.h"

#include <QList>

#include <gtest/gtest.h>

using namespace tessary;

namespace {

struct Row {
    const char* rule;
    QString subject;
    QString body;
    QString expected; // "code score", or "none"
};

QString outcome(const QString& subject, const QString& body)
{
    const std::optional<ExtractedCode> found = extractCode(subject, body);
    return found ? found->code + ' ' + QString::number(found->score) : QStringLiteral("none");
}

QString spaces(qsizetype count)
{
    return QString(count, QLatin1Char(' '));
}

const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
const QString fullWidth =
    QString::fromUtf8("\xEF\xBC\x98\xEF\xBC\x93\xEF\xBC\x94\xEF\xBC\x92\xEF\xBC\x90\xEF\xBC\x91");

} // namespace

// One row per rule the score is built from; the body follows an empty subject unless one is given.
TEST(CodeExtraction, EachScoringRule)
{
    const QString far = spaces(200);
    const QString tail = QString(100, QLatin1Char('.')) + " 4821";
    const QString padding(scannedBodyLimit - 20, QLatin1Char('.'));
    const QList<Row> rows = {
        {"keyword gate", "Your order", "Order 482913 has shipped.", "none"},
        {"keyword gate", "Hello", "ZX81QP", "none"},
        {"keyword in subject", "Your login", "482913", "482913 25"},
        {"keyword in body", "Hi", "Your AUTHENTICATION number: 482913", "482913 25"},
        {"six digits, dash", "", "your code is 123-456", "123456 25"},
        {"six digits, space", "", "your code is 123 456", "123456 25"},
        {"two keywords", "", "Your verification code: 834201", "834201 30"},
        {"keyword once", "", "code code code 834201", "834201 25"},
        {"four digits", "", "code 4821", "4821 15"},
        {"eight digits", "", "code 48213971", "48213971 15"},
        {"nine digits announced", "", "code 482139715", "482139715 15"},
        {"ten digits announced", "", "code: 4821397150", "4821397150 15"},
        {"nine digits not announced", "", "code sent to you: 482139715", "none"},
        {"eleven digits", "", "code 48213971501", "none"},
        {"three digits", "", "code 482", "none"},
        {"glued before", "", "code, see model a482913", "none"},
        {"glued after", "", "code, see model 482913a", "none"},
        {"dash after", "", "code 482913-", "none"},
        {"dash before", "", "code ref-482913", "none"},
        {"year", "", "code 2024", "none"},
        {"year low edge", "", "code 1900", "none"},
        {"year high edge", "", "code 2100", "none"},
        {"below years", "", "code 1899", "1899 15"},
        {"above years", "", "code 2101", "2101 15"},
        {"year beside a code", "", "© 2025 Shop. Your code is 4821", "4821 15"},
        {"subject bonus", "834201 is your code", "Thanks", "834201 40"},
        {"subject beats body", "Code 111222", "Your code is 333444", "111222 40"},
        {"promotion", "", "Use code 834201 at checkout", "none"},
        {"promotion percent", "", "Your code 834201 gives 20% off", "none"},
        {"promotion once", "Your one-time verification code to sign in: 834201",
         "promo coupon discount voucher", "834201 15"},
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
        {"alphanumeric in prose", "", "Your code is AB12CD today.", "AB12CD 17"},
        {"alphanumeric in subject", "Your code is AB12CD", "x", "AB12CD 32"},
        {"upper case ending the announcing sentence", "", "Your code is ABCDEF. Thanks", "ABCDEF 17"},
        {"upper case after a colon", "", "Code: ABCDEF (valid today)", "ABCDEF 17"},
        {"upper case inside the announcing sentence", "", "Your code is ABCDEF today.", "none"},
        {"upper case in prose", "", "Your code arrives as ABCDEF.", "none"},
        {"upper-case code word", "", "Your code is SECURITY.", "none"},
        {"upper case after a shouted code word", "", "SECURITY NOTICE for you", "none"},
        {"placeholder", "", "Your code is [TOKEN] or [FIRST NAME] or [000000]", "none"},
        {"code in brackets", "", "Your code is [X7K2Q9]", "X7K2Q9 17"},
        {"spaced digits", "", "TAN: 4 8 2 9 1 0", "482910 25"},
        {"spaced letters and digits", "", "Your code: K 7 M 2", "K7M2 17"},
        {"spaced, too few", "", "PIN: 4 8 2", "none"},
        {"short token in the subject", "Sign in to AB12", "Your code is 482913", "482913 30"},
        {"upper case alone", "", "Your code is\n   ABCDEF  \nThanks", "ABCDEF 30"},
        {"upper case subject", "ABCDEF", "your code", "ABCDEF 45"},
        {"dashed alone", "", "Your code:\nQX7-9KD\n", "QX7-9KD 30"},
        {"dashed in prose", "", "Your code: QX7-9KD.", "QX7-9KD 17"},
        {"stop words", "", "Sign in code\nHTTPS\nSIGN-IN\nIMPORTANT\nUNSUBSCRIBE", "none"},
        {"lower case after a code word", "", "Your code is abc123", "abc123 17"},
        {"lower case alone", "", "Your code is\nab12cd", "ab12cd 30"},
        {"digits alone are numeric", "", "Your code:\n4821", "4821 15"},
        {"numeric wins a tie", "4821", "code\nAB12CD", "4821 30"},
        {"alphanumeric outscores", "", "Your code\nAB12CD\nref 4821", "AB12CD 30"},
        {"earlier wins a tie", "", "code 111222 or 333444", "111222 25"},
        {"full-width digits", "", "code " + fullWidth, fullWidth + " 25"},
        {"inside the scanned start", "", padding + " code 834201", "834201 25"},
        {"beyond the scanned start", "", padding + spaces(20) + " code 834201", "none"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rule);
        EXPECT_EQ(outcome(row.subject, row.body), row.expected);
    }
}

TEST(CodeExtraction, TheScannedStartNeverSplitsACharacter)
{
    const QString text = "code 834201 " + QString(scannedBodyLimit - 13, QLatin1Char('.')) + emoji + "x";
    ASSERT_TRUE(text.at(scannedBodyLimit - 1).isHighSurrogate());
    EXPECT_EQ(outcome(QString(), text), "834201 25");
}
