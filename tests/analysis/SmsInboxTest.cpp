#include "analysis/SmsInbox.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

// A phone posts a standing notification again (a reminder, an update) long after the messages of
// the last minutes are dropped: dated anew when it arrives, it must still not be a new message.
TEST(SmsInbox, ANotificationPostedAgainIsNoNewMessageHoweverLate)
{
    const auto notification = [](const QString& code, TimePoint arrived) {
        return SmsMessage{"dev1",
                          "Pixel 7",
                          -1,
                          code.toLongLong(),
                          "+4915112345678",
                          "Your code is " + code,
                          qint64(arrived * 1000),
                          SmsMessage::Direction::received};
    };
    SmsInbox inbox(600);
    const TimePoint first = 100'000;
    ASSERT_TRUE(inbox.add(notification("552910", first), first));
    for (const TimePoint later : {first + 11 * 60, first + 2 * 3600, first + 20 * 3600}) {
        EXPECT_FALSE(inbox.add(notification("552910", later), later)) << later - first;
        EXPECT_TRUE(inbox.since(later - 60).isEmpty()) << later - first;
    }
    EXPECT_TRUE(inbox.add(notification("118822", first + 21 * 3600), first + 21 * 3600));
}

} // namespace
} // namespace tessary
