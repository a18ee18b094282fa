#include "server/MessageCache.h"

#include <algorithm>

namespace tessary::server {

MessageCache::MessageCache(std::chrono::milliseconds retention, int maxHeldPolls)
    : m_retention(retention)
    , m_maxHeldPolls(maxHeldPolls)
{
}

void MessageCache::add(CachedMessage message)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_messages.contains(message.id))
            return;
        const QString id = message.id;
        const QString accountId = message.accountId;
        m_messages.insert(id, Entry{std::move(message), Clock::now()});
        QList<const Entry*> held;
        for (const Entry& entry : std::as_const(m_messages))
            if (entry.message.accountId == accountId)
                held.append(&entry);
        if (held.size() > maxPerAccount) {
            std::sort(held.begin(), held.end(), [](const Entry* a, const Entry* b) {
                return a->message.receivedAt > b->message.receivedAt;
            });
            QStringList oldest;
            for (const Entry* entry : held.sliced(maxPerAccount))
                oldest.append(entry->message.id);
            for (const QString& old : oldest)
                m_messages.remove(old);
        }
    }
    m_changed.notify_all();
}

std::optional<CachedMessage> MessageCache::find(const QString& id) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_messages.constFind(id);
    if (found == m_messages.constEnd())
        return std::nullopt;
    return found->message;
}

void MessageCache::remove(const QString& id)
{
    std::lock_guard lock(m_mutex);
    m_messages.remove(id);
}

void MessageCache::dropAccount(const QString& accountId)
{
    std::lock_guard lock(m_mutex);
    m_messages.removeIf([&](const auto& entry) { return entry.value().message.accountId == accountId; });
    m_settled.remove(accountId);
    m_problems.remove(accountId);
}

void MessageCache::setProblem(const QString& accountId, std::optional<QString> problem)
{
    {
        std::lock_guard lock(m_mutex);
        if (problem)
            m_problems.insert(accountId, *problem);
        else
            m_problems.remove(accountId);
    }
    m_changed.notify_all();
}

std::optional<QString> MessageCache::problem(const QSet<QString>& accounts) const
{
    std::lock_guard lock(m_mutex);
    return problemLocked(accounts);
}

std::optional<QString> MessageCache::problemLocked(const QSet<QString>& accounts) const
{
    // One inbox that still answers can still bring the code.
    if (accounts.isEmpty() || !std::all_of(accounts.begin(), accounts.end(),
                                           [&](const QString& id) { return m_problems.contains(id); }))
        return std::nullopt;
    return m_problems.value(*accounts.begin());
}

void MessageCache::markSettled(const QString& accountId)
{
    {
        std::lock_guard lock(m_mutex);
        m_settled.insert(accountId);
    }
    m_changed.notify_all();
}

void MessageCache::shutDown()
{
    {
        std::lock_guard lock(m_mutex);
        m_shutDown = true;
    }
    m_changed.notify_all();
}

bool MessageCache::settled(const QSet<QString>& accounts) const
{
    return std::all_of(accounts.begin(), accounts.end(),
                       [&](const QString& id) { return m_settled.contains(id); });
}

QList<CachedMessage> MessageCache::matching(const QSet<QString>& accounts, double since)
{
    const auto oldest = Clock::now() - m_retention;
    m_messages.removeIf([&](const auto& entry) { return entry.value().heldSince < oldest; });
    QList<CachedMessage> found;
    for (const Entry& entry : std::as_const(m_messages))
        // INTERNALDATE counts whole seconds, so a message of the very second `since` falls in.
        if (accounts.contains(entry.message.accountId) && entry.message.receivedAt + 1 > since)
            found.append(entry.message);
    std::sort(found.begin(), found.end(),
              [](const CachedMessage& a, const CachedMessage& b) { return a.receivedAt > b.receivedAt; });
    return found;
}

QList<CachedMessage> MessageCache::since(const QSet<QString>& accounts, double since,
                                         Clock::time_point settleBy)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_until(lock, settleBy, [&] { return m_shutDown || settled(accounts); });
    return matching(accounts, since);
}

std::optional<QStringList> MessageCache::waitForIds(const QString& installId, const QSet<QString>& accounts,
                                                    double since, Clock::time_point deadline)
{
    std::unique_lock lock(m_mutex);
    const quint64 ticket = ++m_pollTickets[installId];
    m_changed.notify_all(); // an older poll of this install answers now
    const auto last = m_lastAnswers.constFind(installId);
    const std::optional<QSet<QString>> seen =
        last != m_lastAnswers.cend() && last->since == since ? std::optional(last->ids) : std::nullopt;
    QStringList ids;
    bool held = false;
    for (;;) {
        ids.clear();
        if (settled(accounts))
            for (const CachedMessage& message : matching(accounts, since))
                ids.append(message.id);
        const bool news = !ids.isEmpty() && (!seen || QSet<QString>(ids.begin(), ids.end()) != *seen);
        if (news || m_shutDown || m_pollTickets.value(installId) != ticket || problemLocked(accounts))
            break;
        if (!held && m_heldPolls >= m_maxHeldPolls)
            return std::nullopt;
        if (!held) {
            held = true;
            ++m_heldPolls;
        }
        if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout) {
            ids.clear();
            for (const CachedMessage& message : matching(accounts, since))
                ids.append(message.id);
            break;
        }
    }
    if (held)
        --m_heldPolls;
    m_lastAnswers.insert(installId, Answer{since, QSet<QString>(ids.begin(), ids.end())});
    return ids;
}

} // namespace tessary::server
