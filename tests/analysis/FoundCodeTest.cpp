#include "analysis/FoundCode.h"

#include <QList>

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

TEST(CodeDisplay, LongNumericCodesReadInTwoHalvesOthersStayAsTheyAre)
{
    const QList<std::pair<const char*, const char*>> rows = {
        {"123456", "123 456"}, {"1234567", "123 4567"}, {"12345678", "1234 5678"},
        {"12345", "12345"},    {"AB12CD", "AB12CD"},    {"QX7-9KD", "QX7-9KD"}};
    for (const auto& [code, shown] : rows)
        EXPECT_EQ(withCode(code).display(), shown) << code;
}

TEST(CodeListIdentity, IsTheCodeAndTheShortestExactTime)
{
    EXPECT_EQ(withCode("123456", 1765016100.0).listIdentity(), "123456@1765016100.0");
    EXPECT_EQ(withCode("123456", 1765016100.25).listIdentity(), "123456@1765016100.25");
    EXPECT_EQ(withCode("AB12", 0.1).listIdentity(), "AB12@0.1");
    EXPECT_EQ(withCode("AB12").listIdentity(), "AB12@-62135769600.0");
}
