#include "platform/freedesktop/StopSignals.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <vector>

using namespace tessary;

namespace {

volatile std::sig_atomic_t heardBeforehand = 0;
void countBeforehand(int)
{
    heardBeforehand = heardBeforehand + 1;
}

} // namespace

// A stop signal reaches the event loop as a call instead of ending the process. The handling the
// process had before is back after the first one, so a second forces the stop, and once the
// object is gone.
TEST(StopSignals, TheFirstStopSignalIsACallThenThePreviousHandlingIsBack)
{
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        std::signal(signal, countBeforehand);
        heardBeforehand = 0;
        {
            QEventLoop loop;
            std::vector<int> heard;
            const StopSignals stop([&](int stopped) {
                heard.push_back(stopped);
                loop.quit();
            });
            std::raise(signal);
            QTimer::singleShot(5'000, &loop, &QEventLoop::quit); // a lost signal fails, not hangs
            loop.exec();
            EXPECT_EQ(heard, std::vector{signal});
            EXPECT_EQ(heardBeforehand, 0);
            std::raise(signal);
            EXPECT_EQ(heardBeforehand, 1);
        }
        std::raise(signal);
        EXPECT_EQ(heardBeforehand, 2);
        std::signal(signal, SIG_DFL);
    }
    // A signal the process was started ignoring, as nohup does, stays ignored.
    std::signal(SIGHUP, SIG_IGN);
    bool heard = false;
    const StopSignals stop([&](int) { heard = true; });
    std::raise(SIGHUP);
    QCoreApplication::processEvents();
    EXPECT_FALSE(heard);
    std::signal(SIGHUP, SIG_DFL);
}
