#pragma once

#include "server/ImapConnection.h"
#include "server/MessageCache.h"
#include "server/ServerConfig.h"
#include "server/Wakeup.h"
#include "server/WatcherLoops.h"

#include <chrono>
#include <functional>
#include <future>
#include <memory>

namespace tessary::server {

struct WatchedInbox {
    QString accountId;
    QString provider; // "imap": `secret` is the app password; else the OAuth refresh token
    QString host;
    QString email;
    QString secret;
};

// Signs the connection in as the inbox: LOGIN with the app password, or AUTHENTICATE XOAUTH2 with
// an access token fetched for this connection (they expire within the hour; connections outlive
// that only in IDLE, which needs no new sign-in). A provider that rotates refresh tokens (Microsoft
// does) hands out a new one here: it replaces `inbox.secret`, and the caller keeps it.
QCoro::Task<ImapResult<Done>> signIn(ImapConnection& connection, const ImapSettings& settings,
                                     WatchedInbox& inbox);

// Stores an inbox's new secret (a rotated refresh token) for the next start.
using SecretKeeper = std::function<void(const WatchedInbox&)>;
// Told that the server or the provider refused the inbox's password or sign-in, with the words
// the user is shown.
using RefusalReporter = std::function<void(const WatchedInbox&, const QString&)>;
// Told why the inbox cannot be read after several connections in a row failed, and told nothing
// (nullopt) once a connection is watching again.
using ProblemReporter = std::function<void(const WatchedInbox&, std::optional<QString>)>;

struct WatchTimings {
    // Servers drop idlers at 30 minutes; a server gone silent shows only when DONE goes unanswered.
    std::chrono::milliseconds idleRenewal = std::chrono::minutes(9);
    std::chrono::milliseconds firstBackoff = std::chrono::seconds(1);
    std::chrono::milliseconds maxBackoff = std::chrono::minutes(2);
    std::chrono::seconds backfill = std::chrono::minutes(15); // as far back as the cache holds mail
    int failuresBeforeReport = 3; // connections in a row that never finished an IDLE round
};

// Keeps one IMAP connection per inbox in IDLE, as a coroutine on one of the shared loops, and puts
// every new message into the cache the moment the server announces it. On every (re)connection it first reads
// what arrived in the last minutes from the mailbox itself, so a restart or an outage loses nothing. A
// refused sign-in ends the watch: trying a wrong password again every few minutes only gets the account
// locked at the provider. The inbox waits for a new password or sign-in instead. Any other failure is tried
// again after a pause, and reported once it keeps happening.
class InboxWatcher {
public:
    InboxWatcher(WatcherLoops& loops, WatchedInbox inbox, const ImapSettings& settings, MessageCache& cache,
                 WatchTimings timings = {}, SecretKeeper keep = {}, RefusalReporter refused = {},
                 ProblemReporter problem = {});
    ~InboxWatcher();                // stops the watch, whatever it waits for, and returns once it has ended
    void stop() { m_stop.raise(); } // from any thread; returns at once
    InboxWatcher(const InboxWatcher&) = delete;
    InboxWatcher& operator=(const InboxWatcher&) = delete;

private:
    QCoro::Task<> run(std::shared_ptr<std::promise<void>> ended);
    QCoro::Task<ImapError> watchOnce(); // watches until the connection fails, and says why
    QCoro::Task<ImapResult<Done>> takeNew(ImapConnection& connection, QByteArray uidSet, double notBefore);

    WatchedInbox m_inbox; // its secret changes only on the watcher's loop
    const SecretKeeper m_keep;
    const RefusalReporter m_refused;
    const ProblemReporter m_problem;
    const ImapSettings m_settings;
    MessageCache& m_cache;
    const WatchTimings m_timings;
    uint m_uidValidity = 0;
    uint m_lastUid = 0;
    bool m_watching = false; // the current connection finished an IDLE round
    bool m_reported = false; // failing, as told to `m_problem`: until an IDLE round, whatever connects
    WakeFlag m_stop;
    std::future<void> m_ended;
};

// The client's record of a fetched message.
CachedMessage cachedMessage(const QString& accountId, uint uidValidity, const FetchedMail& mail);

} // namespace tessary::server
