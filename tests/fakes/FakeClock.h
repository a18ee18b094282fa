#pragma once

#include "common/Clock.h"

#include <QList>

#include <chrono>
#include <functional>
#include <map>

namespace tessary::test {

// Virtual time: `sleep` moves the clock forward and returns at once, so waits of seconds cost
// nothing, and every sleep is recorded so a test can assert the exact waits of an algorithm.
// Callbacks scheduled for a moment run when the clock passes it, in time order: a fake of the
// outside world (a page moving the focus 5 ms after a key) acts "while" the code under test sleeps.
class FakeClock : public Clock {
public:
    explicit FakeClock(TimePoint start = 1'700'000'000.0);

    TimePoint now() const override;
    std::chrono::steady_clock::time_point steadyNow() const override;
    QCoro::Task<> sleep(std::chrono::nanoseconds duration, CancelToken cancel = {}) override;

    // Moves time forward, running the callbacks that fall due on the way.
    void advance(std::chrono::nanoseconds duration);
    // Runs `action` once `delay` from now has passed.
    void schedule(std::chrono::nanoseconds delay, std::function<void()> action);

    // Virtual time passed since the clock was made.
    std::chrono::nanoseconds elapsed() const { return m_elapsed; }
    // Every sleep asked for, in order.
    QList<std::chrono::nanoseconds> sleeps;

private:
    TimePoint m_start;
    std::chrono::nanoseconds m_elapsed{0};
    std::multimap<std::chrono::nanoseconds, std::function<void()>> m_scheduled;
};

} // namespace tessary::test
