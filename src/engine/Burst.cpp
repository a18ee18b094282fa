#include "engine/Burst.h"

#include <QPointer>

namespace tessary {

Burst::Burst(BackendApi& backend, Clock& clock, Timings::ms idsPass)
    : m_backend(backend)
    , m_clock(clock)
    , m_idsPass(idsPass)
{
}

Burst::~Burst()
{
    cancel();
}

CancelToken Burst::begin()
{
    cancel();
    m_running = makeCancelToken();
    return m_running;
}

void Burst::cancel()
{
    if (m_running)
        m_running->cancel();
}

QCoro::Task<BackendResult<Burst::End>>
Burst::watch(TimePoint since, std::chrono::steady_clock::time_point deadline, CancelToken cancel, Looker look)
{
    QPointer<Burst> self(this);
    // The ids are taken before the first look, so mail that arrives while that look runs is new
    // to the loop below instead of counted as seen and never fetched.
    BackendResult<QSet<QString>> known = co_await pollIds(since, false, cancel);
    if (!self || isCancelled(cancel))
        co_return End::cancelled;
    if (!known)
        co_return Unexpected{known.error()};
    BackendResult<Look> looked = co_await look(true);
    for (;;) {
        if (!self || isCancelled(cancel))
            co_return End::cancelled;
        if (!looked)
            co_return Unexpected{looked.error()};
        if (*looked == Look::done)
            co_return End::done;
        const BackendResult<std::optional<QSet<QString>>> arrived =
            co_await nextNewIds(since, *known, deadline, cancel);
        if (!self || isCancelled(cancel))
            co_return End::cancelled;
        if (!arrived)
            co_return Unexpected{arrived.error()};
        if (!*arrived)
            co_return End::deadline;
        looked = co_await look(false);
        known = **arrived;
    }
}

// One ids request; when `spaced`, not started sooner than `idsPass` after the one before.
QCoro::Task<BackendResult<QSet<QString>>> Burst::pollIds(TimePoint since, bool spaced, CancelToken cancel)
{
    QPointer<Burst> self(this);
    const auto next = m_lastIdsPass + m_idsPass;
    if (const auto now = m_clock.steadyNow(); spaced && now < next)
        co_await m_clock.sleep(next - now, cancel);
    if (!self || isCancelled(cancel))
        co_return Unexpected{BackendError{0, QStringLiteral("Cancelled")}};
    m_lastIdsPass = m_clock.steadyNow();
    co_return co_await m_backend.messageIds(since, cancel);
}

// Polls until an id not in `known` shows up and returns the ids then; none when the deadline
// passes or the burst is cancelled first.
QCoro::Task<BackendResult<std::optional<QSet<QString>>>>
Burst::nextNewIds(TimePoint since, QSet<QString> known, std::chrono::steady_clock::time_point deadline,
                  CancelToken cancel)
{
    QPointer<Burst> self(this);
    // A backend that holds a repeated question until its answer changes is asked again at once, so
    // mail is noticed the moment it arrives. One that answers a repeat at once with the same ids
    // would be asked hundreds of times a second: after such an answer the next request waits.
    QSet<QString> previous = known;
    bool spaced = false;
    while (!isCancelled(cancel) && m_clock.steadyNow() < deadline) {
        BackendResult<QSet<QString>> ids = co_await pollIds(since, spaced, cancel);
        if (!self || isCancelled(cancel))
            break;
        if (!ids)
            co_return Unexpected{ids.error()};
        if (!QSet<QString>(*ids).subtract(known).isEmpty())
            co_return std::optional<QSet<QString>>(std::move(ids).value());
        spaced = *ids == previous;
        previous = std::move(ids).value();
    }
    co_return std::optional<QSet<QString>>{};
}

} // namespace tessary
