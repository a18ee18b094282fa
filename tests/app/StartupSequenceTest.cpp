#include "app/StartupSequence.h"

#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

namespace tessary {
namespace {

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
