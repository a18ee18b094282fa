#include "fakes/FakeClock.h"

#include <QObject>

#include <algorithm>

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

QCoro::Task<> FakeClock::sleep(std::chrono::nanoseconds duration, CancelToken cancel)
{
    if (isCancelled(cancel))
        co_return;
    sleeps.append(duration);
    if (m_sleeps == Sleeps::pass) {
        advance(duration);
        co_return;
    }
    auto sleeper = std::make_shared<Sleeper>();
    m_due.emplace(m_elapsed + std::max(duration, std::chrono::nanoseconds(0)), Due{sleeper, {}});
    QMetaObject::Connection onCancel;
    if (cancel)
        onCancel = QObject::connect(cancel.get(), &CancelFlag::cancelled, [this, sleeper] { wake(sleeper); });
    co_await Suspend{&sleeper->handle};
    QObject::disconnect(onCancel);
}

void FakeClock::wake(std::shared_ptr<Sleeper> sleeper)
{
    if (sleeper->woken || !sleeper->handle)
        return;
    sleeper->woken = true;
    const auto entry =
        std::ranges::find_if(m_due, [&](const auto& due) { return due.second.sleeper == sleeper; });
    if (entry != m_due.end())
        m_due.erase(entry);
    sleeper->handle.resume();
}

void FakeClock::advance(std::chrono::nanoseconds duration)
{
    const std::chrono::nanoseconds target = m_elapsed + std::max(duration, std::chrono::nanoseconds(0));
    // A callback may schedule another one and a woken task may sleep again: take them one at a
    // time so those are honoured too.
    while (!m_due.empty() && m_due.begin()->first <= target) {
        const auto next = m_due.begin();
        m_elapsed = std::max(m_elapsed, next->first);
        if (next->second.sleeper) {
            wake(next->second.sleeper);
            continue;
        }
        std::function<void()> action = std::move(next->second.action);
        m_due.erase(next);
        action();
    }
    m_elapsed = target;
}

void FakeClock::schedule(std::chrono::nanoseconds delay, std::function<void()> action)
{
    m_due.emplace(m_elapsed + std::max(delay, std::chrono::nanoseconds(0)), Due{nullptr, std::move(action)});
}

void FakeClock::wakeAll()
{
    const auto sleeping = [](const auto& due) { return due.second.sleeper != nullptr; };
    for (auto due = std::ranges::find_if(m_due, sleeping); due != m_due.end();
         due = std::ranges::find_if(m_due, sleeping))
        wake(due->second.sleeper);
}

} // namespace tessary::test
