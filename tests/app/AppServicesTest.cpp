#include "app/StartupSequence.h"
#include "app/UpdateCheck.h"
#include "app/UpdateFeed.h"
#include "fakes/FakeBackendServer.h"
#include "fakes/FakeSettingsStore.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace tessary {
namespace {

QByteArray feed(const QByteArray& items)
{
    return R"(<?xml version="1.0"?><rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle"><channel><title>Tessary</title>)" +
           items + "</channel></rss>";
}

QByteArray item(const QByteArray& shown, const QByteArray& build = "100")
{
    return R"(<item><title>Tessary )" + shown + R"(</title><enclosure url="https://tessary.com/dl/tessary-)" +
           shown + R"(.deb" sparkle:version=")" + build + R"(" sparkle:shortVersionString=")" + shown +
           R"(" length="1" type="application/octet-stream"/></item>)";
}

TEST(UpdateFeed, TheNewestReleaseWhenNewerThanThisOneOrWhyTheFeedIsNoAppcast)
{
    const struct {
        const char* name;
        QByteArray feed;
        std::optional<QString> newer; // none: up to date
    } cases[] = {
        {"newest of several, in any order", feed(item("0.2.0") + item("0.10.1") + item("0.9.3")), "0.10.1"},
        {"the same version", feed(item("0.1.0")), std::nullopt},
        {"only older ones", feed(item("0.0.9")), std::nullopt},
        {"no items", feed(""), std::nullopt},
        {"an enclosure without a version is passed over",
         feed(R"(<item><enclosure url="https://x/y.deb"/></item>)" + item("0.3.0")), "0.3.0"},
        {"versions written as elements of the item, as Sparkle 2 writes them",
         feed(
             R"(<item><sparkle:version>300</sparkle:version><sparkle:shortVersionString>0.3.0</sparkle:shortVersionString>)"
             R"(<enclosure url="https://tessary.com/dl/tessary-0.3.0.deb" length="1"/></item>)"),
         "0.3.0"},
        {"a download that is not a web address is passed over: the report's link opens it",
         feed(R"(<item><enclosure url="file:///home/me/run.desktop" sparkle:version="400"/></item>)" +
              item("0.3.0")),
         "0.3.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = newerRelease(c.feed, QStringLiteral("0.1.0"));
        ASSERT_TRUE(result) << result.error().toStdString();
        EXPECT_EQ(result->has_value(), c.newer.has_value());
        if (*result && c.newer) {
            EXPECT_EQ((*result)->version, *c.newer);
            EXPECT_EQ((*result)->download, QUrl("https://tessary.com/dl/tessary-" + *c.newer + ".deb"));
        }
    }
    // A feed that is not an appcast says why.
    EXPECT_EQ(newerRelease("<rss><channel><item>", "0.1.0").error().left(24), "the feed is not valid XM");
    EXPECT_EQ(newerRelease("<html><body>Not found</body></html>", "0.1.0").error(),
              "the feed is not an RSS channel");
}

// One report at a time: a second check (a second click, or the next day's) replaces the first
// report rather than piling another one on it.
TEST(UpdateCheck, ANewReportReplacesTheLastOne)
{
    test::FakeBackendServer server;
    server.fallbackReply = test::ScriptedReply::typed(200, "application/rss+xml", feed(item("9.0.0")));
    test::FakeSettingsStore settings;
    settings.values.insert("updateFeedURL", server.url().toString() + "/appcast.xml");
    UpdateCheck updates(settings);
    const auto shownReport = []() -> QMessageBox* {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(window); box && box->isVisible())
                return box;
        return nullptr;
    };
    updates.checkNow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownReport() != nullptr; }));
    const QPointer<QMessageBox> first = shownReport();
    server.fallbackReply.body += QByteArray(2 << 20, ' '); // more than any feed: cut off, not read
    updates.checkNow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !first || !first->isVisible(); }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shownReport() != nullptr; }));
    EXPECT_EQ(shownReport()->text(), "Couldn't check for updates: the feed is larger than 1 MB.");
    delete shownReport();
}

TEST(StartupSequence, RunsEachJobInATurnOfItsOwnInOrder)
{
    StartupSequence steps;
    QStringList ran;
    steps
        .then([&] {
            ran << "backend";
            // What a job leaves for the loop is served before the next job.
            QTimer::singleShot(0, [&] { ran << "loop"; });
            steps.then([&] { ran << "added by backend"; });
        })
        .then([&] { ran << "accessibility"; })
        .then([&] { ran << "windows"; });
    EXPECT_TRUE(ran.isEmpty()) << "a job ran inside then()";
    EXPECT_TRUE(QTest::qWaitFor([&] { return ran.size() == 5; }, 2000));
    EXPECT_EQ(ran, (QStringList{"backend", "loop", "accessibility", "windows", "added by backend"}));

    // Once all have run, a job added later still waits for the next turn.
    steps.then([&] { ran << "late"; });
    EXPECT_EQ(ran.size(), 5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ran.size() == 6; }, 2000));
}

} // namespace
} // namespace tessary
