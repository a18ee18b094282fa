#pragma once

#include "server/CredentialCipher.h"
#include "server/ImapSession.h"
#include "server/InboxAssignment.h"
#include "server/InboxWatcher.h"
#include "server/Storage.h"

#include <QHash>

#include <memory>
#include <mutex>

namespace tessary::server {

// The mail side of the backend: one watcher per active inbox, all on a few shared threads, plus
// the short connections that
// check a new inbox's password and move a message to the Trash. An inbox whose password or
// sign-in was refused, or whose saved credential cannot be opened, has a problem until it is
// given a new one; so has one whose connections keep failing, until one works again. Safe to call
// from any thread.
class MailService : public InboxWatching {
public:
    MailService(Storage& storage, const CredentialCipher& cipher, ImapSettings settings, MessageCache& cache,
                WatchTimings timings = {});
    ~MailService() override;

    void watchStored(const StoredAccount& account) override;
    void watch(const StoredAccount& account, const QString& secret) override; // app password or refresh token
    void unwatch(const QString& accountId) override;
    void release(const QString& accountId) override;
    // Why the inbox cannot be read, in the user's words; nothing while it works.
    std::optional<QString> problem(const QString& accountId) const;
    // Ends every wait on a mail server now: the backend is stopping.
    void stop();

    // Signs in and opens the inbox once, so a wrong password or host is reported while the user
    // is still at the form. A few run at once; more are turned away (busy) rather than queued.
    ImapResult<Done> verify(const QString& host, const QString& email, const QString& password) const;
    // A client on another machine is served: from now on no check, watch or move reaches a private
    // address. True the first time, when they were reached until now.
    bool refusePrivateHosts() { return m_privateHosts.exchange(false); }
    Expected<Done, QString> trash(const StoredAccount& account, const CachedMessage& message);

private:
    std::optional<QString> secretOf(const StoredAccount& account) const;
    void keepSecret(const WatchedInbox& inbox);
    void refused(const WatchedInbox& inbox, const QString& message);
    void setProblem(const QString& accountId, std::optional<QString> problem);
    ImapSettings settings() const; // as configured, with private addresses as now allowed

    Storage& m_storage;
    const CredentialCipher& m_cipher;
    const ImapSettings m_settings;
    std::atomic<bool> m_privateHosts;
    MessageCache& m_cache;
    const WatchTimings m_timings;
    std::atomic<bool> m_stopping{false};
    mutable std::atomic<int> m_verifying{0};
    mutable std::mutex m_mutex;
    WatcherLoops m_loops; // outlives every watcher below
    QHash<QString, std::shared_ptr<InboxWatcher>> m_watchers;
};

} // namespace tessary::server
