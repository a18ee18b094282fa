#include "analysis/CodeExtraction.h"

#include <gtest/gtest.h>

using namespace tessary;

namespace {

std::optional<ExtractedCode> fromBody(const QString& body)
{
    return extractCode(QString(), body);
}

} // namespace

namespace tessary {
void PrintTo(const ExtractedCode& found, std::ostream* out)
{
    *out << found.code.toStdString() << " (" << found.score << ")";
}
} // namespace tessary

namespace {

ExtractedCode code(const char* text, qint64 score)
{
    return ExtractedCode{QString::fromUtf8(text), score};
}

} // namespace

TEST(KeywordGate, AMailThatNeverSpeaksOfCodesYieldsNothing)
{
    EXPECT_EQ(extractCode("Your order", "Order 482913 has shipped."), std::nullopt);
    EXPECT_EQ(extractCode("Hello", "ZX81QP"), std::nullopt);
}

TEST(KeywordGate, AKeywordInTheSubjectOrBodyOpensTheGate)
{
    EXPECT_TRUE(extractCode("Your login", "482913"));
    EXPECT_TRUE(extractCode("Hi", "Your AUTHENTICATION number: 482913"));
}

TEST(NumericScoring, SixDigitsScoreTwentyPlusFivePerKeywordNearby)
{
    EXPECT_EQ(fromBody("your code is 123-456"), code("123456", 25));
    EXPECT_EQ(fromBody("your code is 123 456"), code("123456", 25));
    EXPECT_EQ(fromBody("Your verification code: 834201"), code("834201", 30));
}

TEST(NumericScoring, EachKeywordCountsOnce)
{
    EXPECT_EQ(fromBody("code code code 834201"), code("834201", 25));
}

TEST(NumericScoring, OtherLengthsScoreTen)
{
    EXPECT_EQ(fromBody("code 4821"), code("4821", 15));
    EXPECT_EQ(fromBody("code 48213"), code("48213", 15));
    EXPECT_EQ(fromBody("code 48213971"), code("48213971", 15));
    EXPECT_EQ(fromBody("code 482139715"), std::nullopt);
    EXPECT_EQ(fromBody("code 482"), std::nullopt);
}

TEST(NumericScoring, DigitsGluedToWordsOrDashesAreNotCodes)
{
    EXPECT_EQ(fromBody("code a482913"), std::nullopt);
    EXPECT_EQ(fromBody("code 482913a"), std::nullopt);
    EXPECT_EQ(fromBody("code 482913-"), std::nullopt);
    EXPECT_EQ(fromBody("code ref-482913"), std::nullopt);
}

TEST(YearPenalty, AFourDigitYearIsNeverReturned)
{
    EXPECT_EQ(fromBody("code 2024"), std::nullopt);
    EXPECT_EQ(fromBody("code 1900"), std::nullopt);
    EXPECT_EQ(fromBody("code 2100"), std::nullopt);
    EXPECT_EQ(fromBody("code 1899"), code("1899", 15));
    EXPECT_EQ(fromBody("code 2101"), code("2101", 15));
}

TEST(YearPenalty, AYearDoesNotHideTheRealCode)
{
    EXPECT_EQ(fromBody("© 2025 Shop. Your code is 4821"), code("4821", 15));
}

TEST(SubjectBonus, ACodeInTheSubjectScoresFifteenMore)
{
    EXPECT_EQ(extractCode("834201 is your code", "Thanks"), code("834201", 40));
    EXPECT_EQ(extractCode("Your code", "834201"), code("834201", 25));
}

TEST(SubjectBonus, TheSubjectCodeBeatsABodyCode)
{
    EXPECT_EQ(extractCode("Code 111222", "Your code is 333444"), code("111222", 40));
}

TEST(PromotionPenalty, PromotionWordsInTheWindowCostForty)
{
    EXPECT_EQ(fromBody("Your code 834201"), code("834201", 25));
    EXPECT_EQ(fromBody("Use code 834201 at checkout"), std::nullopt);
    EXPECT_EQ(fromBody("Your code 834201 gives 20% off"), std::nullopt);
}

TEST(PromotionPenalty, IsTakenOnceAndOnlyInsideTheWindow)
{
    EXPECT_EQ(
        extractCode("Your one-time verification code to sign in: 834201", "promo coupon discount voucher"),
        code("834201", 15));
    const QString farAway = QString(200, QLatin1Char(' ')) + "promo";
    EXPECT_EQ(fromBody("verification code: 834201" + farAway), code("834201", 30));
}

TEST(ContextWindow, StartsEightyUnitsBeforeTheCode)
{
    // The subject is empty, so the body starts at 1; "code" must lie inside [start - 80, start + 80).
    EXPECT_EQ(fromBody("code" + QString(76, QLatin1Char(' ')) + "4821"), code("4821", 15));
    EXPECT_EQ(fromBody("code" + QString(77, QLatin1Char(' ')) + "4821"), std::nullopt);
}

TEST(ContextWindow, EndsEightyUnitsAfterTheCodeStarts)
{
    const QString before = QString(100, QLatin1Char('.')) + " 4821";
    EXPECT_EQ(fromBody(before + QString(72, QLatin1Char(' ')) + "code"), code("4821", 15));
    EXPECT_EQ(fromBody(before + QString(73, QLatin1Char(' ')) + "code"), std::nullopt);
}

TEST(Utf16Positions, AnEmojiCountsAsTwoUnits)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    ASSERT_EQ(emoji.size(), 2);
    EXPECT_EQ(fromBody("code" + emoji + QString(74, QLatin1Char(' ')) + "4821"), code("4821", 15));
    EXPECT_EQ(fromBody("code" + emoji + QString(75, QLatin1Char(' ')) + "4821"), std::nullopt);
}

TEST(Utf16Positions, TheSubjectLengthIsCountedInUnits)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(extractCode(emoji + " code 834201", "x"), code("834201", 40));
    EXPECT_EQ(extractCode(emoji + " code", "834201"), code("834201", 25));
}

TEST(ScoreThreshold, ABestOfExactlyTenIsNotReturned)
{
    const QString text = "verification\n" + QString(200, QLatin1Char('.')) + " 4821";
    EXPECT_EQ(fromBody(text), std::nullopt);
    EXPECT_EQ(fromBody(text + " code"), code("4821", 15));
}

TEST(AlphanumericRules, LettersAndDigitsInsideASentenceScoreTwelvePlusKeywords)
{
    EXPECT_EQ(fromBody("Your code is AB12CD today."), code("AB12CD", 17));
    EXPECT_EQ(extractCode("Your code is AB12CD", "x"), code("AB12CD", 32));
}

TEST(AlphanumericRules, UpperCaseWordsCountOnlyAloneOnTheirLine)
{
    EXPECT_EQ(fromBody("Your code is ABCDEF today."), std::nullopt);
    EXPECT_EQ(fromBody("Your code is\n   ABCDEF  \nThanks"), code("ABCDEF", 30));
    EXPECT_EQ(extractCode("ABCDEF", "your code"), code("ABCDEF", 45));
}

TEST(AlphanumericRules, DashedCodesKeepTheirDash)
{
    EXPECT_EQ(fromBody("Your code:\nQX7-9KD\n"), code("QX7-9KD", 30));
    EXPECT_EQ(fromBody("Your code: QX7-9KD."), code("QX7-9KD", 17));
}

TEST(AlphanumericRules, StopWordsProseAndLowerCaseAreNeverCodes)
{
    EXPECT_EQ(fromBody("Sign in code\nHTTPS\nSIGN-IN\nIMPORTANT\nUNSUBSCRIBE"), std::nullopt);
    EXPECT_EQ(fromBody("Your code is abc123"), std::nullopt);
    EXPECT_EQ(fromBody("Your code is\nab12cd"), std::nullopt);
}

TEST(AlphanumericRules, DigitsOnlyAreLeftToTheNumericPass)
{
    EXPECT_EQ(fromBody("Your code:\n4821"), code("4821", 15));
}

TEST(CandidateChoice, ANumericCodeWinsATieWithAnAlphanumericOne)
{
    // 4-digit subject code: 10 + 15 + 5; alphanumeric alone in the body: 25 + 5.
    EXPECT_EQ(extractCode("4821", "code\nAB12CD"), code("4821", 30));
    EXPECT_EQ(fromBody("Your code\nAB12CD\nref 4821"), code("AB12CD", 30));
}

TEST(CandidateChoice, TheEarlierCandidateWinsATieWithinAPass)
{
    EXPECT_EQ(fromBody("code 111222 or 333444"), code("111222", 25));
}

TEST(UnicodeDigits, FullWidthDigitsAreRead)
{
    EXPECT_EQ(fromBody(QString::fromUtf8(
                  "code \xEF\xBC\x98\xEF\xBC\x93\xEF\xBC\x94\xEF\xBC\x92\xEF\xBC\x90\xEF\xBC\x91")),
              code("\xEF\xBC\x98\xEF\xBC\x93\xEF\xBC\x94\xEF\xBC\x92\xEF\xBC\x90\xEF\xBC\x91", 25));
}

TEST(ScannedLength, OnlyTheStartOfAHugeBodyIsRead)
{
    const QString padding(scannedBodyLimit - 20, QLatin1Char('.'));
    EXPECT_EQ(fromBody(padding + " code 834201"), code("834201", 25));
    EXPECT_EQ(fromBody(padding + QString(20, QLatin1Char(' ')) + " code 834201"), std::nullopt);
}

TEST(ScannedLength, TheCutNeverSplitsACharacter)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString text = "code 834201 " + QString(scannedBodyLimit - 13, QLatin1Char('.')) + emoji + "x";
    ASSERT_TRUE(text.at(scannedBodyLimit - 1).isHighSurrogate());
    EXPECT_EQ(fromBody(text), code("834201", 25));
}
