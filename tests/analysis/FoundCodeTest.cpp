#include "analysis/FoundCode.h"

#include <QList>

#include <gtest/gtest.h>

using namespace tessary;

TEST(CodeDisplay, LongNumericCodesReadInTwoHalvesOthersStayAsTheyAre)
{
    const QList<std::pair<const char*, const char*>> rows = {
        {"123456", "123 456"}, {"1234567", "123 4567"}, {"12345678", "1234 5678"},
        {"12345", "12345"},    {"AB12CD", "AB12CD"},    {"QX7-9KD", "QX7-9KD"}};
    for (const auto& [code, shown] : rows) {
        FoundCode found;
        found.code = code;
        EXPECT_EQ(found.display(), shown) << code;
    }
}
