#pragma once

#include "server/InboxLeases.h"
#include "server/Storage.h"

#include <QSet>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace tessary::server {

// What an assignment starts and ends: the watchers of one instance (MailService).
class InboxWatching {
public:
    virtual ~InboxWatching() = default;
    // Watches an inbox with its stored credential.
    virtual void watchStored(const StoredAccount& account) = 0;
    virtual void watch(const StoredAccount& account, const QString& secret) = 0;
    // An inbox removed: its watch ends and what this instance knew of its mail goes.
    virtual void unwatch(const QString& accountId) = 0;
    // An inbox another instance takes over: its watch here ends, but the mail this instance took
    // or heard of stays listed and served to the others until it ages out, since their lists
    // may still name this instance as its holder.
    virtual void release(const QString& accountId) = 0;
};

// Decides which inboxes this instance watches. Alone on its storage (no lease board) it watches
// every active inbox. Beside other instances on one database it watches those it holds the lease
// of: a round every `renewEvery` renews them, gives back its surplus and takes its share of the
// free ones, and an instance that cannot renew for a lease's lifetime stops watching, since the
// others may have taken its inboxes by then. An inbox that changes hands is watched by both for
// at most one round (the old holder learns of it at its next renewal); each watch reads the last
// minutes of the mailbox on connecting, so nothing is lost on the way.
class InboxAssignment {
public:
    InboxAssignment(Storage& storage, InboxWatching& watching, std::unique_ptr<LeaseBoard> board = {},
                    QString instance = {}, QString address = {}, LeaseTimings timings = {});
    ~InboxAssignment(); // stops, as stop() does
    InboxAssignment(const InboxAssignment&) = delete;
    InboxAssignment& operator=(const InboxAssignment&) = delete;

    void start();
    // An inbox just added, or given a new password or sign-in: watched here at once.
    void watchNow(const StoredAccount& account, const QString& secret);
    // An inbox removed: its watch here ends (another holder's at its next round).
    void unwatch(const QString& accountId);
    // Ends the rounds and gives every lease back.
    void stop();

    QString instance() const { return m_instance; }

private:
    void rounds();
    void holdShare();
    void releaseAllLocked();

    Storage& m_storage;
    InboxWatching& m_watching;
    const std::unique_ptr<LeaseBoard> m_board;
    const QString m_instance;
    const QString m_address;
    const LeaseTimings m_timings;
    std::mutex m_mutex; // one round or change at a time
    QSet<QString> m_watched;
    std::chrono::steady_clock::time_point m_heldUntil;
    std::mutex m_stopMutex;
    std::condition_variable m_stopped;
    bool m_stopping = false;
    std::thread m_rounds;
};

} // namespace tessary::server
