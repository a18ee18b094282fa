#include "server/InboxAssignment.h"

namespace tessary::server {

InboxAssignment::InboxAssignment(Storage& storage, InboxWatching& watching, std::unique_ptr<LeaseBoard> board,
                                 QString instance, QString address, LeaseTimings timings)
    : m_storage(storage)
    , m_watching(watching)
    , m_board(std::move(board))
    , m_instance(std::move(instance))
    , m_address(std::move(address))
    , m_timings(timings)
{
}

InboxAssignment::~InboxAssignment()
{
    stop();
}

void InboxAssignment::start()
{
    if (m_board) {
        m_rounds = std::thread([this] { rounds(); });
        return;
    }
    std::lock_guard lock(m_mutex);
    for (const StoredAccount& account : m_storage.activeAccounts()) {
        m_watching.watchStored(account);
        m_watched.insert(account.id);
    }
}

void InboxAssignment::stop()
{
    {
        std::lock_guard lock(m_stopMutex);
        if (m_stopping)
            return;
        m_stopping = true;
    }
    m_stopped.notify_all();
    if (m_rounds.joinable())
        m_rounds.join();
    std::lock_guard lock(m_mutex);
    releaseAllLocked();
    if (m_board)
        m_board->leave(m_instance);
}

void InboxAssignment::rounds()
{
    std::unique_lock lock(m_stopMutex);
    while (!m_stopping) {
        lock.unlock();
        holdShare();
        lock.lock();
        m_stopped.wait_for(lock, m_timings.renewEvery, [this] { return m_stopping; });
    }
}

void InboxAssignment::holdShare()
{
    std::lock_guard lock(m_mutex);
    const auto asked = std::chrono::steady_clock::now();
    const auto held = m_board->holdShare(m_instance, m_address, m_timings.lifetime);
    if (!held) {
        // The leases run out in the database by now, and another instance may hold them.
        if (asked >= m_heldUntil)
            releaseAllLocked();
        return;
    }
    m_heldUntil = asked + m_timings.lifetime;
    for (const QString& lost : m_watched - *held)
        m_watching.release(lost);
    m_watched.intersect(*held);
    const QSet<QString> gained = *held - m_watched;
    if (gained.isEmpty())
        return;
    for (const StoredAccount& account : m_storage.activeAccounts()) {
        if (gained.contains(account.id)) {
            m_watching.watchStored(account);
            m_watched.insert(account.id);
        }
    }
}

void InboxAssignment::releaseAllLocked()
{
    for (const QString& watched : std::as_const(m_watched))
        m_watching.release(watched);
    m_watched.clear();
}

void InboxAssignment::watchNow(const StoredAccount& account, const QString& secret)
{
    std::lock_guard lock(m_mutex);
    if (m_board && !m_board->take(m_instance, account.id, m_timings.lifetime))
        return; // a later round takes it, or another instance does
    m_watching.watch(account, secret);
    m_watched.insert(account.id);
}

void InboxAssignment::unwatch(const QString& accountId)
{
    std::lock_guard lock(m_mutex);
    m_watching.unwatch(accountId);
    m_watched.remove(accountId);
}

} // namespace tessary::server
