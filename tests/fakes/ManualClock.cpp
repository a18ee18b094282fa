#include "fakes/ManualClock.h"

#include <QObject>

namespace tessary::test {

namespace {

// Suspends the sleeping coroutine and hands its handle to the clock.
struct Suspend {
    std::coroutine_handle<>* slot;
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) noexcept { *slot = handle; }
    void await_resume() const noexcept {}
};

} // namespace

ManualClock::ManualClock(TimePoint start)
    : m_start(start)
{
}

ManualClock::~ManualClock()
{
    wakeAll();
}

TimePoint ManualClock::now() const
{
    return m_start + std::chrono::duration<double>(m_elapsed).count();
}

std::chrono::steady_clock::time_point ManualClock::steadyNow() const
{
    return std::chrono::steady_clock::time_point(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(m_elapsed));
}

QCoro::Task<> ManualClock::sleep(std::chrono::nanoseconds duration, CancelToken cancel)
{
    if (isCancelled(cancel))
        co_return;
    auto sleeper = std::make_shared<Sleeper>();
    m_sleepers.emplace(m_elapsed + std::max(duration, std::chrono::nanoseconds(0)), sleeper);
    QMetaObject::Connection onCancel;
    if (cancel)
        onCancel = QObject::connect(cancel.get(), &CancelFlag::cancelled, [this, sleeper] { wake(sleeper); });
    co_await Suspend{&sleeper->handle};
    QObject::disconnect(onCancel);
}

void ManualClock::wake(std::shared_ptr<Sleeper> sleeper)
{
    if (sleeper->woken || !sleeper->handle)
        return;
    sleeper->woken = true;
    for (auto it = m_sleepers.begin(); it != m_sleepers.end(); ++it) {
        if (it->second == sleeper) {
            m_sleepers.erase(it);
            break;
        }
    }
    sleeper->handle.resume();
}

void ManualClock::advance(std::chrono::nanoseconds duration)
{
    const std::chrono::nanoseconds target = m_elapsed + std::max(duration, std::chrono::nanoseconds(0));
    // A woken task may sleep again; take sleepers one at a time so those are honoured too.
    while (!m_sleepers.empty() && m_sleepers.begin()->first <= target) {
        m_elapsed = std::max(m_elapsed, m_sleepers.begin()->first);
        wake(m_sleepers.begin()->second);
    }
    m_elapsed = target;
}

void ManualClock::wakeAll()
{
    while (!m_sleepers.empty())
        wake(m_sleepers.begin()->second);
}

} // namespace tessary::test
