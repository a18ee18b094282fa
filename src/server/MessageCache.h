#pragma once

#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace tessary::server {

struct CachedMessage {
    QString id; // "<account>.<uidvalidity>.<uid>": enough to find the message again for trash
    QString accountId;
    uint uidValidity = 0;
    uint uid = 0;
    double receivedAt = 0; // seconds since 1970 UTC, from INTERNALDATE
    QJsonObject json;      // the record the client receives
    qsizetype size = 0;    // of `json` as sent
    // The instance whose watcher took the message, when another did: only its id and time are
    // here, the record stays with that instance.
    QString holder;
};

// What every instance of a shared database knows of an inbox, whichever one watches it.
struct InboxState {
    bool settled = false;
    std::optional<QString> problem;       // why its mail can't be read now, for polls
    std::optional<QString> listedProblem; // what the inbox list says is wrong with it
};

// Where an instance tells the others what its watchers found.
struct CacheNews {
    std::function<void(const CachedMessage&)> mailTaken; // called without the record's contents read
    std::function<void(const QString& accountId, const InboxState&)> stateChanged;
    std::function<void(const QString& id)> mailRemoved; // moved to the Trash through this instance
};

// The messages of the last minutes, in memory only: nothing of a message ever reaches the disk.
// Shared between the inbox watchers (which add) and the HTTP handlers (which read, and park held
// polls), so every member is safe to call from any thread. An account holds at most its newest few hundred
// messages (a mailbox flooded with mail cannot fill the memory).
class MessageCache {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int maxPerAccount = 200;
    // Nothing (rather than an empty list, which would read as "no mail") when too many polls are
    // held already. Called once, on the thread that brought the answer: it must not block.
    using IdsAnswer = std::function<void(std::optional<QStringList>)>;

    explicit MessageCache(std::chrono::milliseconds retention = std::chrono::minutes(15),
                          int maxHeldPolls = 64);
    ~MessageCache();
    MessageCache(const MessageCache&) = delete;
    MessageCache& operator=(const MessageCache&) = delete;

    // Tells `news` of every message and inbox state this instance's watchers bring from now on.
    void tell(CacheNews news);
    void add(CachedMessage message); // wakes the polls waiting on its account; drops its oldest
    // A message another instance's watcher took (`holder` set); its record stays there.
    void addRemote(CachedMessage message);
    // An inbox's state as the instance that watches it found it.
    void setRemoteState(const QString& accountId, const InboxState& state);
    // A message this instance's watchers took, with its record.
    std::optional<CachedMessage> find(const QString& id) const;
    // Every message this instance's watchers took and it still holds, without their records.
    QList<CachedMessage> taken() const;
    void remove(const QString& id);
    // A message another instance moved to the Trash.
    void removeRemote(const QString& id);
    void dropAccount(const QString& accountId);
    // An account's watcher has made its first attempt at the mailbox (whatever came of it), so a
    // request no longer needs to wait for the messages that were there before it started.
    void markSettled(const QString& accountId);
    // An account's mailbox can't be reached (`problem` says why) or can again (nothing). A poll
    // held for accounts that are all unreachable answers at once, so the client hears of it.
    void setProblem(const QString& accountId, std::optional<QString> problem);
    // Why none of these accounts can be reached, when none can.
    std::optional<QString> problem(const QSet<QString>& accounts) const;
    // What the inbox list says is wrong with an inbox (a refused password, failing connections).
    void setListedProblem(const QString& accountId, std::optional<QString> problem);
    std::optional<QString> listedProblem(const QString& accountId) const;
    // Answers every held poll now and every later one at once: the server is stopping.
    void shutDown();

    QList<CachedMessage> since(const QSet<QString>& accounts, double since, Clock::time_point settleBy);
    // A held poll, parked rather than waited for: `answer` gets the ids since `since` as soon as
    // there are any, at `deadline`, or when a newer poll of the same install takes its place.
    // A poll that repeats the install's last question (the same `since`) waits until the answer
    // differs from the last one: a client polling on in one burst would otherwise be answered at
    // once with the mail it has seen, again and again, and hear of new mail only on its next round.
    void parkForIds(const QString& installId, const QSet<QString>& accounts, double since,
                    Clock::time_point deadline, IdsAnswer answer);

private:
    struct Entry {
        CachedMessage message;
        Clock::time_point heldSince;
    };
    struct Answer {
        double since = 0;
        QSet<QString> ids;
    };
    struct Parked {
        QString installId;
        QSet<QString> accounts;
        double since = 0;
        std::optional<QSet<QString>> seen; // the install's last answer to the same question
        std::multimap<Clock::time_point, quint64>::iterator deadline;
        IdsAnswer answer;
    };
    using Answers = std::vector<std::pair<IdsAnswer, std::optional<QStringList>>>;

    QList<CachedMessage> matching(const QSet<QString>& accounts, double since);
    enum class Inserted { nothing, holderChanged, added };
    Inserted insert(CachedMessage message);
    InboxState stateLocked(const QString& accountId) const;
    // Tells the other instances of a state this instance's watchers changed.
    void publish(const QString& accountId);
    bool settled(const QSet<QString>& accounts) const;
    std::optional<QString> problemLocked(const QSet<QString>& accounts) const;
    QStringList currentIds(const Parked& poll);
    // The ids a poll would be answered with now, or nothing while it should stay parked.
    std::optional<QStringList> readyIds(const Parked& poll);
    QStringList idsSince(const QSet<QString>& accounts, double since);
    void unpark(quint64 id, QStringList ids, Answers& answers);
    // Answers the parked polls that an account's news decides (all of them: nothing named).
    void recheck(const std::optional<QString>& accountId);
    void answerOnTime(); // the thread that answers polls whose deadline has come

    const std::chrono::milliseconds m_retention;
    const int m_maxHeldPolls;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QHash<QString, Entry> m_messages;
    QSet<QString> m_settled;
    QHash<QString, QString> m_problems;
    QHash<QString, QString> m_listedProblems;
    CacheNews m_news;
    QHash<QString, Answer> m_lastAnswers; // per install
    QHash<quint64, Parked> m_parked;
    QHash<QString, quint64> m_parkedByInstall;
    std::multimap<Clock::time_point, quint64> m_deadlines;
    quint64 m_lastParked = 0;
    std::condition_variable m_deadlineChanged;
    bool m_shutDown = false;
    std::thread m_timekeeper;
};

} // namespace tessary::server
