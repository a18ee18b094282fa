#include "analysis/CodeFinder.h"
#include "analysis/FoundCode.h"
#include "analysis/InternetDateTime.h"
#include "analysis/SiteDomain.h"
#include "analysis/SmsInbox.h"

#include "fakes/FakeBackendApi.h"
#include "support/RunTask.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <cmath>

using namespace tessary;

namespace {

Message mail(const char* id, const char* sender, const char* subject, const char* text,
             std::optional<QString> receivedAt = std::nullopt)
{
    return Message{id, subject, sender, text, receivedAt, {}};
}

QStringList codesOf(const QList<FoundCode>& found)
{
    QStringList codes;
    for (const FoundCode& code : found)
        codes.append(code.code);
    return codes;
}

const QString at10 = QStringLiteral("2026-12-06T10:00:00Z");
const QString at11 = QStringLiteral("2026-12-06T11:00:00Z");

} // namespace

TEST(CodeRanking, OnlyMessagesWithACodeYieldOneFillingEveryFieldAndTheSitesSenderGainsABonus)
{
    const QList<FoundCode> found = CodeFinder::rank(
        {mail("m0", "a@news.example", "Weekly news", "Nothing to see: 482913"),
         mail("m1", "Shop <no-reply@accounts.example-shop.com>", "Your code", "834201", at10),
         mail("m2", "a@shop.example", "Your code", "soon")},
        expandDomains({"example-shop.com"}));
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].code, "834201");
    EXPECT_EQ(found[0].sender, "Shop <no-reply@accounts.example-shop.com>");
    EXPECT_EQ(found[0].senderDomain, "example-shop.com");
    EXPECT_EQ(found[0].received, parseInternetDateTime(at10));
    EXPECT_EQ(found[0].score, 125);
    EXPECT_EQ(found[0].messageId, "m1");

    // A sender on the site or a subdomain of it outranks a stronger code.
    const QList<FoundCode> ranked = CodeFinder::rank(
        {mail("m1", "news@other.example", "Your verification code 111111", "security code", at11),
         mail("m2", "Shop <no-reply@mail.example-shop.com>", "Hi", "Your code: 4821", at10)},
        expandDomains({"accounts.example-shop.com"}));
    EXPECT_EQ(codesOf(ranked), (QStringList{"4821", "111111"}));
    EXPECT_EQ(ranked[0].score, 115);
    EXPECT_EQ(ranked[1].score, 20 + 15 + 5 * 3);

    // A text message comes from a number: its code belongs to the site its last line binds it to.
    QList<Message> texts = {
        mail("t1", "+4915112345678", "", "Your code is 555666\n@other.example #555666", at11),
        mail("t2", "+4915112345678", "", "Your code: 7391\n@login.example-shop.com #7391", at10),
        mail("t3", "+4915112345678", "", "Your code is 888999", at11)};
    for (Message& text : texts)
        text.phone = QStringLiteral("Pixel 7");
    const QList<FoundCode> fromPhone = CodeFinder::rank(texts, expandDomains({"example-shop.com"}));
    EXPECT_EQ(codesOf(fromPhone), (QStringList{"7391", "555666", "888999"}));
    EXPECT_EQ(fromPhone[0].senderDomain, "example-shop.com");
    EXPECT_EQ(fromPhone[0].score, 140);
    EXPECT_EQ(fromPhone[1].senderDomain, "other.example");
    EXPECT_EQ(fromPhone[2].senderDomain, "");
}

TEST(RankingTies, LaterArrivalFirstThenDatedBeforeUndatedThenTheMessagesOrder)
{
    QList<Message> messages = {
        mail("undated", "a@x.example", "Your code", "111111"),
        mail("early", "a@x.example", "Your code", "222222", at10),
        mail("garbled", "a@x.example", "Your code", "333333", QStringLiteral("2026-12-06 11:00")),
        mail("late", "a@x.example", "Your code", "444444", at11),
    };
    EXPECT_EQ(codesOf(CodeFinder::rank(messages, {})), (QStringList{"444444", "222222", "111111", "333333"}));

    // Equal scores and times keep the messages' order: enough messages that an unstable sort would
    // shuffle them, every other one scoring higher.
    messages.clear();
    QStringList strong, weak;
    for (int i = 0; i < 40; ++i) {
        const QByteArray code = QByteArray::number(100000 + (i * 7919) % 900000);
        const bool isStrong = i % 2 == 0;
        messages.append(mail(code.constData(), "a@x.example", isStrong ? "Your login code" : "Your code",
                             code.constData(), at10));
        (isStrong ? strong : weak).append(QString::fromLatin1(code));
    }
    EXPECT_EQ(codesOf(CodeFinder::rank(messages, {})), strong + weak);
}

TEST(BestCode, AsksForTheMailSinceTheGivenTimeAndReturnsTheBestOrTheFailureUnchanged)
{
    test::FakeBackendApi source;
    source.messagesScript.replies = {
        QList<Message>{mail("m1", "a@other.example", "Your code", "111111", at11),
                       mail("m2", "no-reply@mail.zoom.com", "Your code", "4821", at10)}};
    CodeFinder finder(source);
    const BackendResult<std::optional<FoundCode>> best =
        test::runTask(finder.bestCode(1765000000.5, {"https://us02web.zoom.us/signin"}));
    ASSERT_TRUE(best);
    ASSERT_TRUE(best->has_value());
    EXPECT_EQ((*best)->code, "4821");
    EXPECT_EQ((*best)->messageId, "m2");
    EXPECT_EQ(source.messagesSince, QList<TimePoint>{1765000000.5});

    source.messagesScript.replies = {Unexpected{BackendError{503, QStringLiteral("Server error 503")}}};
    const auto failed = test::runTask(finder.bestCode(0, {"x.example"}));
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error(), (BackendError{503, QStringLiteral("Server error 503")}));
}

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
