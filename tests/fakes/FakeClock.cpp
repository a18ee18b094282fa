#include "fakes/FakeClock.h"

namespace tessary::test {

FakeClock::FakeClock(TimePoint start)
    : m_start(start)
{
}

TimePoint FakeClock::now() const
{
    return m_start + std::chrono::duration<double>(m_elapsed).count();
}

std::chrono::steady_clock::time_point FakeClock::steadyNow() const
{
    return std::chrono::steady_clock::time_point(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(m_elapsed));
}

QCoro::Task<> FakeClock::sleep(std::chrono::nanoseconds duration, CancelToken cancel)
{
    if (isCancelled(cancel))
        co_return;
    sleeps.append(duration);
    advance(duration);
    co_return;
}

void FakeClock::advance(std::chrono::nanoseconds duration)
{
    const std::chrono::nanoseconds target = m_elapsed + std::max(duration, std::chrono::nanoseconds(0));
    // A callback may schedule another one; take them one at a time so those are honoured too.
    while (!m_scheduled.empty() && m_scheduled.begin()->first <= target) {
        auto next = m_scheduled.begin();
        m_elapsed = std::max(m_elapsed, next->first);
        std::function<void()> action = std::move(next->second);
        m_scheduled.erase(next);
        action();
    }
    m_elapsed = target;
}

void FakeClock::schedule(std::chrono::nanoseconds delay, std::function<void()> action)
{
    m_scheduled.emplace(m_elapsed + std::max(delay, std::chrono::nanoseconds(0)), std::move(action));
}

} // namespace tessary::test
