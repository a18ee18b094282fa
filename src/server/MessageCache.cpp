#include "server/MessageCache.h"

#include <algorithm>

namespace tessary::server {

MessageCache::MessageCache(std::chrono::milliseconds retention, int maxHeldPolls)
    : m_retention(retention)
    , m_maxHeldPolls(maxHeldPolls)
    , m_timekeeper([this] { answerOnTime(); })
{
}

MessageCache::~MessageCache()
{
    shutDown();
    m_timekeeper.join();
}

void MessageCache::tell(CacheNews news)
{
    std::lock_guard lock(m_mutex);
    m_news = std::move(news);
}

void MessageCache::add(CachedMessage message)
{
    message.holder.clear();
    CachedMessage told = message;
    told.json = {}; // the other instances hear of the message, never what it says
    told.size = 0;
    const Inserted inserted = insert(std::move(message));
    if (inserted == Inserted::added) {
        m_changed.notify_all();
        recheck(told.accountId);
    }
    std::function<void(const CachedMessage&)> tellOthers;
    {
        std::lock_guard lock(m_mutex);
        tellOthers = m_news.mailTaken;
    }
    // A message another instance held before this one took the inbox over is news of its holder.
    if (inserted != Inserted::nothing && tellOthers)
        tellOthers(told);
}

void MessageCache::addRemote(CachedMessage message)
{
    const QString accountId = message.accountId;
    if (message.holder.isEmpty() || insert(std::move(message)) != Inserted::added)
        return;
    m_changed.notify_all();
    recheck(accountId);
}

MessageCache::Inserted MessageCache::insert(CachedMessage message)
{
    std::lock_guard lock(m_mutex);
    if (const auto known = m_messages.find(message.id); known != m_messages.end()) {
        // This instance's own record is never replaced by another's news of the same message.
        if (known->message.holder.isEmpty() || known->message.holder == message.holder)
            return Inserted::nothing;
        known->message = std::move(message);
        return Inserted::holderChanged;
    }
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
    return Inserted::added;
}

std::optional<CachedMessage> MessageCache::find(const QString& id) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_messages.constFind(id);
    if (found == m_messages.constEnd() || !found->message.holder.isEmpty())
        return std::nullopt;
    return found->message;
}

QList<CachedMessage> MessageCache::taken() const
{
    std::lock_guard lock(m_mutex);
    QList<CachedMessage> taken;
    for (const Entry& entry : std::as_const(m_messages)) {
        if (!entry.message.holder.isEmpty())
            continue;
        CachedMessage message = entry.message;
        message.json = {};
        taken.append(std::move(message));
    }
    return taken;
}

void MessageCache::remove(const QString& id)
{
    std::function<void(const QString&)> tellOthers;
    {
        std::lock_guard lock(m_mutex);
        m_messages.remove(id);
        tellOthers = m_news.mailRemoved;
    }
    if (tellOthers)
        tellOthers(id);
}

void MessageCache::removeRemote(const QString& id)
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
    m_listedProblems.remove(accountId);
}

InboxState MessageCache::stateLocked(const QString& accountId) const
{
    const auto problemOf = [&accountId](const QHash<QString, QString>& problems) {
        const auto found = problems.constFind(accountId);
        return found == problems.constEnd() ? std::nullopt : std::optional(*found);
    };
    return InboxState{m_settled.contains(accountId), problemOf(m_problems), problemOf(m_listedProblems)};
}

// Told even when nothing changed here: an instance that has just taken the inbox over may know
// it better than the others do.
void MessageCache::publish(const QString& accountId)
{
    InboxState now;
    std::function<void(const QString&, const InboxState&)> tellOthers;
    {
        std::lock_guard lock(m_mutex);
        now = stateLocked(accountId);
        tellOthers = m_news.stateChanged;
    }
    if (tellOthers)
        tellOthers(accountId, now);
}

void MessageCache::setRemoteState(const QString& accountId, const InboxState& state)
{
    {
        std::lock_guard lock(m_mutex);
        if (state.settled)
            m_settled.insert(accountId);
        else
            m_settled.remove(accountId);
        m_problems.remove(accountId);
        m_listedProblems.remove(accountId);
        if (state.problem)
            m_problems.insert(accountId, *state.problem);
        if (state.listedProblem)
            m_listedProblems.insert(accountId, *state.listedProblem);
    }
    m_changed.notify_all();
    recheck(accountId);
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
    recheck(accountId);
    publish(accountId);
}

void MessageCache::setListedProblem(const QString& accountId, std::optional<QString> problem)
{
    {
        std::lock_guard lock(m_mutex);
        if (problem)
            m_listedProblems.insert(accountId, *problem);
        else
            m_listedProblems.remove(accountId);
    }
    publish(accountId);
}

std::optional<QString> MessageCache::listedProblem(const QString& accountId) const
{
    std::lock_guard lock(m_mutex);
    return stateLocked(accountId).listedProblem;
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
    recheck(accountId);
    publish(accountId);
}

void MessageCache::shutDown()
{
    {
        std::lock_guard lock(m_mutex);
        m_shutDown = true;
    }
    m_changed.notify_all();
    m_deadlineChanged.notify_all();
    recheck(std::nullopt);
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

QStringList MessageCache::idsSince(const QSet<QString>& accounts, double since)
{
    QStringList ids;
    for (const CachedMessage& message : matching(accounts, since))
        ids.append(message.id);
    return ids;
}

QStringList MessageCache::currentIds(const Parked& poll)
{
    // Until every inbox has been read once, what is cached may be the middle of a mailbox.
    return settled(poll.accounts) ? idsSince(poll.accounts, poll.since) : QStringList();
}

std::optional<QStringList> MessageCache::readyIds(const Parked& poll)
{
    const QStringList ids = currentIds(poll);
    const bool news = !ids.isEmpty() && (!poll.seen || QSet<QString>(ids.begin(), ids.end()) != *poll.seen);
    if (news || m_shutDown || problemLocked(poll.accounts))
        return ids;
    return std::nullopt;
}

void MessageCache::unpark(quint64 id, QStringList ids, Answers& answers)
{
    const auto parked = m_parked.find(id);
    m_deadlines.erase(parked->deadline);
    if (m_parkedByInstall.value(parked->installId) == id)
        m_parkedByInstall.remove(parked->installId);
    m_lastAnswers.insert(parked->installId, Answer{parked->since, QSet<QString>(ids.begin(), ids.end())});
    answers.emplace_back(std::move(parked->answer), std::move(ids));
    m_parked.erase(parked);
}

void MessageCache::recheck(const std::optional<QString>& accountId)
{
    Answers answers;
    {
        std::lock_guard lock(m_mutex);
        QList<std::pair<quint64, QStringList>> ready;
        for (auto poll = m_parked.cbegin(); poll != m_parked.cend(); ++poll)
            if (!accountId || poll->accounts.contains(*accountId))
                if (auto ids = readyIds(*poll))
                    ready.append({poll.key(), std::move(*ids)});
        for (auto& [id, ids] : ready)
            unpark(id, std::move(ids), answers);
    }
    for (auto& [answer, ids] : answers)
        answer(std::move(ids));
}

void MessageCache::parkForIds(const QString& installId, const QSet<QString>& accounts, double since,
                              Clock::time_point deadline, IdsAnswer answer)
{
    Answers answers;
    {
        std::lock_guard lock(m_mutex);
        // An older poll of this install answers now, with what it has.
        if (const auto older = m_parkedByInstall.constFind(installId); older != m_parkedByInstall.cend()) {
            const Parked& poll = m_parked[*older];
            unpark(*older, currentIds(poll), answers);
        }
        const auto last = m_lastAnswers.constFind(installId);
        Parked poll{installId,
                    accounts,
                    since,
                    last != m_lastAnswers.cend() && last->since == since ? std::optional(last->ids)
                                                                         : std::nullopt,
                    m_deadlines.end(),
                    std::move(answer)};
        if (auto ids = readyIds(poll)) {
            m_lastAnswers.insert(installId, Answer{since, QSet<QString>(ids->begin(), ids->end())});
            answers.emplace_back(std::move(poll.answer), std::move(*ids));
        } else if (m_parked.size() >= m_maxHeldPolls) {
            answers.emplace_back(std::move(poll.answer), std::nullopt);
        } else {
            const quint64 id = ++m_lastParked;
            const bool soonest = m_deadlines.empty() || deadline < m_deadlines.begin()->first;
            poll.deadline = m_deadlines.emplace(deadline, id);
            m_parked.insert(id, std::move(poll));
            m_parkedByInstall.insert(installId, id);
            if (soonest)
                m_deadlineChanged.notify_one();
        }
    }
    for (auto& [reply, ids] : answers)
        reply(std::move(ids));
}

void MessageCache::answerOnTime()
{
    std::unique_lock lock(m_mutex);
    while (!m_shutDown) {
        if (m_deadlines.empty()) {
            m_deadlineChanged.wait(lock);
        } else {
            // A copy: the deadline's entry may be gone (its poll answered) by the time the wait ends.
            const Clock::time_point soonest = m_deadlines.begin()->first;
            m_deadlineChanged.wait_until(lock, soonest);
        }
        Answers answers;
        const auto now = Clock::now();
        // At its deadline a poll answers with all it has, settled or not.
        while (!m_deadlines.empty() && m_deadlines.begin()->first <= now) {
            const quint64 id = m_deadlines.begin()->second;
            const Parked& poll = m_parked[id];
            unpark(id, idsSince(poll.accounts, poll.since), answers);
        }
        lock.unlock();
        for (auto& [answer, ids] : answers)
            answer(std::move(ids));
        lock.lock();
    }
}

} // namespace tessary::server
