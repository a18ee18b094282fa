#include "analysis/SmsInbox.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

// A messages app's notification read as a text message: dated when it arrives on the desktop.
SmsMessage notification(const QString& body, TimePoint arrived)
{
    return SmsMessage{"dev1",
                      "Pixel 7",
                      -1,
                      qint64(qHash(body)),
                      "+4915112345678",
                      body,
                      qint64(arrived * 1000),
                      SmsMessage::Direction::received};
}

// A phone posts a standing notification again (a reminder, an update) long after the messages of
// the last minutes are dropped: dated anew, it must still not become a new message.
TEST(SmsInbox, ANotificationPostedAgainIsNoNewMessageHoweverLate)
{
    SmsInbox inbox(600);
    const TimePoint first = 100'000;
    ASSERT_TRUE(inbox.add(notification("Your code is 552910", first), first));
    for (const TimePoint later : {first + 11 * 60, first + 2 * 3600, first + 20 * 3600}) {
        EXPECT_FALSE(inbox.add(notification("Your code is 552910", later), later)) << later - first;
        EXPECT_TRUE(inbox.since(later - 60).isEmpty()) << later - first;
    }
    const TimePoint next = first + 21 * 3600;
    EXPECT_TRUE(inbox.add(notification("Your code is 118822", next), next));
    EXPECT_EQ(inbox.since(next - 60).size(), 1);
}

} // namespace
} // namespace tessary
