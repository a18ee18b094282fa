#pragma once

#include "common/Clock.h"

#include <QList>

#include <coroutine>
#include <functional>
#include <map>
#include <memory>

namespace tessary::test {

// Virtual time. With `Sleeps::pass` a sleep moves the clock on and returns at once (the waits are
// kept in `sleeps`); with `Sleeps::wait` it suspends until `advance` passes its moment or its cancel
// token fires. Scheduled callbacks run in time order with the sleepers, so a fake of the outside
// world acts "while" the code under test sleeps.
class FakeClock : public Clock {
public:
    enum class Sleeps { pass, wait };
    explicit FakeClock(Sleeps mode = Sleeps::pass, TimePoint start = 1'700'000'000.0)
        : m_sleeps(mode)
        , m_start(start)
    {
    }
    // Wakes every sleeper still waiting, so no task is left suspended when a test ends.
    ~FakeClock() override { wakeAll(); }

    TimePoint now() const override { return m_start + std::chrono::duration<double>(m_elapsed).count(); }
    std::chrono::steady_clock::time_point steadyNow() const override
    {
        return std::chrono::steady_clock::time_point(
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(m_elapsed));
    }
    QCoro::Task<> sleep(std::chrono::nanoseconds duration, CancelToken cancel = {}) override;

    // Moves time forward, waking the sleepers and running the callbacks that fall due on the way.
    void advance(std::chrono::nanoseconds duration);
    // Runs `action` once `delay` from now has passed.
    void schedule(std::chrono::nanoseconds delay, std::function<void()> action);
    // Wakes every sleeper now, without moving time, until none is left.
    void wakeAll();

    std::chrono::nanoseconds elapsed() const { return m_elapsed; } // since the clock was made
    QList<std::chrono::nanoseconds> sleeps;                        // every sleep asked for, in order

private:
    struct Sleeper {
        std::coroutine_handle<> handle;
        bool woken = false;
    };
    // What falls due at a moment: a sleeper to wake or a callback to run.
    struct Due {
        std::shared_ptr<Sleeper> sleeper;
        std::function<void()> action;
    };
    void wake(std::shared_ptr<Sleeper> sleeper); // by value: it erases the map entry it came from

    Sleeps m_sleeps;
    TimePoint m_start;
    std::chrono::nanoseconds m_elapsed{0};
    std::multimap<std::chrono::nanoseconds, Due> m_due;
};

} // namespace tessary::test
