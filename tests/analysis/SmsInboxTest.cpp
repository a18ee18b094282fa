#include "analysis/SmsInbox.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

// A phone posts a standing notification again (a reminder, an update) long after the messages of
// the last minutes are dropped: dated anew when it arrives, it must still not be a new message.
TEST(SmsInbox, ANotificationPostedAgainIsNoNewMessageHoweverLate)
{
    SmsMessage posted{"dev1", "Pixel 7", -1, 552910, "Messages", "Your code is 552910"};
    posted.direction = SmsMessage::Direction::received;
    SmsInbox inbox(600);
    for (const TimePoint at : {100'000, 100'000 + 11 * 60, 100'000 + 20 * 3600}) {
        posted.dateMs = qint64(at) * 1000;
        EXPECT_EQ(inbox.add(posted, at), at == 100'000) << at;
        EXPECT_EQ(inbox.since(at - 60).size(), at == 100'000 ? 1 : 0) << at;
    }
}

} // namespace
} // namespace tessary
