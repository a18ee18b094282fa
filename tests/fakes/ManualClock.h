#pragma once

#include "common/Clock.h"

#include <coroutine>
#include <map>
#include <memory>

namespace tessary::test {

// Virtual time that moves only when the test says so: a sleep suspends its task until `advance`
// passes its moment (or its cancel token fires), so a test can look at the engine in the middle of
// a 4 s wait or a 90 s burst. Sleepers wake in time order, inside `advance`.
class ManualClock : public Clock {
public:
    explicit ManualClock(TimePoint start = 1'700'000'000.0);
    // Wakes every sleeper still waiting, so no task is left suspended when a test ends.
    ~ManualClock() override;

    TimePoint now() const override;
    std::chrono::steady_clock::time_point steadyNow() const override;
    QCoro::Task<> sleep(std::chrono::nanoseconds duration, CancelToken cancel = {}) override;

    void advance(std::chrono::nanoseconds duration);
    // Wakes every sleeper now, without moving time, until none is left.
    void wakeAll();
    int sleepers() const { return int(m_sleepers.size()); }

private:
    struct Sleeper {
        std::coroutine_handle<> handle;
        bool woken = false;
    };
    void wake(std::shared_ptr<Sleeper> sleeper); // by value: it erases the map entry it came from

    TimePoint m_start;
    std::chrono::nanoseconds m_elapsed{0};
    std::multimap<std::chrono::nanoseconds, std::shared_ptr<Sleeper>> m_sleepers;
};

} // namespace tessary::test
