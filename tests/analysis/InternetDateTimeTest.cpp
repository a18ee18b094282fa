#include "analysis/InternetDateTime.h"

#include <gtest/gtest.h>

using namespace tessary;

TEST(ReceivedTime, ReadsUtcAndOffsetTimesOnly)
{
    EXPECT_EQ(parseInternetDateTime(u"1970-01-01T00:00:00Z"), 0.0);
    EXPECT_EQ(parseInternetDateTime(u"2026-12-06T10:15:30Z"), 1796552130.0);
    EXPECT_EQ(parseInternetDateTime(u"2026-12-06T11:15:30+01:00"), 1796552130.0);
    EXPECT_EQ(parseInternetDateTime(u"2026-12-06T05:45:30-04:30"), 1796552130.0);
    EXPECT_EQ(parseInternetDateTime(u"2024-02-29T23:59:59Z"), 1709251199.0);
    EXPECT_EQ(parseInternetDateTime(u"1969-12-31T23:59:59Z"), -1.0);
    for (const char16_t* text :
         {u"2026-12-06T10:15:30.250Z", u"2026-12-06T10:15:30", u"2026-12-06 10:15:30Z", u"2026-12-06T10:15Z",
          u"2026-12-06T10:15:30+0100", u"2026-12-06t10:15:30Z", u"20261206T101530Z", u"", u"yesterday",
          u"2026-12-06T10:15:30+01:00 ", u"2025-02-29T10:00:00Z", u"2026-13-01T10:00:00Z",
          u"2026-04-31T10:00:00Z", u"2026-12-06T24:00:00Z", u"2026-12-06T10:60:00Z", u"2026-12-06T10:00:60Z",
          u"2026-12-00T10:00:00Z", u"2026-12-06T10:00:00+24:00"}) {
        EXPECT_EQ(parseInternetDateTime(text), std::nullopt) << QString::fromUtf16(text);
    }
}
