#include "analysis/SmsInbox.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <cmath>

namespace tessary {
namespace {

// A phone posts a standing notification again (a reminder, an update) long after the messages of
// the last minutes are dropped: dated anew each time, it is never a new message. The identities
// kept stay bounded all the same: those seen longest ago go first.
TEST(SmsInbox, RemembersWhatItSawForADayWithinABound)
{
    SmsInbox inbox(600);
    const auto posted = [&](qint64 uid, TimePoint at) {
        SmsMessage message{"dev1", "Pixel 7", -1, uid, "Messages", "Your code is 552910", qint64(at * 1000)};
        message.direction = SmsMessage::Direction::received;
        return inbox.add(message, at);
    };
    ASSERT_TRUE(posted(1, 100'000));
    for (qint64 uid = 2; uid <= SmsInbox::identityLimit + 1; ++uid) {
        posted(uid, 100'000 + double(uid) / 1000);
        if (uid % 500 == 0)
            posted(1, 100'000 + double(uid) / 1000);
    }
    for (const TimePoint at : {100'000 + 11 * 60, 100'000 + 20 * 3600})
        EXPECT_FALSE(posted(1, at)) << at;
    EXPECT_TRUE(posted(2, 100'000 + 20 * 3600)) << "the identity seen longest ago was not forgotten";
}

// A search began at `start`; a message came `came` seconds after it (before: negative) to a phone
// whose clock runs `ahead` seconds ahead of the desktop's (behind: negative). It counts when it
// came after the start, with a few seconds' grace for a lagging clock, ranked by when it came.
TEST(SmsInbox, CountsWhatCameAfterTheSearchBeganWhateverThePhonesClock)
{
    const struct {
        double ahead, came;
        std::optional<double> rankedAt; // none: it does not count
    } cases[] = {{0, 1, 1}, {-4, 1, -3}, {-5, 0, -5}, {-60, 1, {}}, {0, -30, {}}, {60, 1, 1}, {60, -20, {}}};
    const TimePoint start = 100'000;
    for (const auto& c : cases) {
        SmsMessage message{"dev1", "Pixel 7", 7, 4, "+4915112345678", "Your code is 739201"};
        message.direction = SmsMessage::Direction::received;
        message.dateMs = std::llround((start + c.came + c.ahead) * 1000);
        SmsInbox inbox(600);
        inbox.add(message, start + c.came + 0.2); // relayed in 200 ms
        const QList<Message> counted = inbox.since(start);
        ASSERT_EQ(counted.size(), c.rankedAt ? 1 : 0) << "ahead " << c.ahead << ", came " << c.came;
        if (c.rankedAt) {
            EXPECT_EQ(
                counted[0].receivedAt,
                QDateTime::fromSecsSinceEpoch(qint64(start + *c.rankedAt), Qt::UTC).toString(Qt::ISODate));
        }
    }
}

} // namespace
} // namespace tessary
