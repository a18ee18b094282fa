#include "analysis/FoundCode.h"

#include <gtest/gtest.h>

using namespace tessary;

namespace {

FoundCode withCode(const QString& code, TimePoint received = distantPast)
{
    FoundCode found;
    found.code = code;
    found.received = received;
    return found;
}

} // namespace

TEST(CodeDisplay, LongNumericCodesReadInTwoHalves)
{
    EXPECT_EQ(withCode("123456").display(), "123 456");
    EXPECT_EQ(withCode("1234567").display(), "123 4567");
    EXPECT_EQ(withCode("12345678").display(), "1234 5678");
}

TEST(CodeDisplay, ShortOrAlphanumericCodesStayAsTheyAre)
{
    EXPECT_EQ(withCode("12345").display(), "12345");
    EXPECT_EQ(withCode("AB12CD").display(), "AB12CD");
    EXPECT_EQ(withCode("QX7-9KD").display(), "QX7-9KD");
}

TEST(CodeListIdentity, IsTheCodeAndTheShortestExactTime)
{
    EXPECT_EQ(withCode("123456", 1765016100.0).listIdentity(), "123456@1765016100.0");
    EXPECT_EQ(withCode("123456", 1765016100.25).listIdentity(), "123456@1765016100.25");
    EXPECT_EQ(withCode("AB12", 0.1).listIdentity(), "AB12@0.1");
    EXPECT_EQ(withCode("AB12").listIdentity(), "AB12@-62135769600.0");
}

TEST(CodeListIdentity, TellsApartTheSameCodeAtAnotherTime)
{
    EXPECT_NE(withCode("123456", 1000.0).listIdentity(), withCode("123456", 1001.0).listIdentity());
    EXPECT_EQ(withCode("123456", 1000.0).listIdentity(), withCode("123456", 1000.0).listIdentity());
}
