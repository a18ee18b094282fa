#pragma once

#include "server/CredentialCipher.h"
#include "server/InboxWatcher.h"
#include "server/Storage.h"

#include <QHash>

#include <memory>
#include <mutex>

namespace tessary::server {

// The mail side of the backend: one watcher per active inbox, plus the short connections that
// check a new inbox's password and move a message to the Trash. Safe to call from any thread.
class MailService {
public:
    MailService(Storage& storage, const CredentialCipher& cipher, ImapSettings settings, MessageCache& cache,
                WatchTimings timings = {});
    ~MailService();

    void watchStoredAccounts();
    void watch(const StoredAccount& account, const QString& secret); // app password or refresh token
    void unwatch(const QString& accountId);

    // Signs in and opens the inbox once, so a wrong password or host is reported while the user
    // is still at the form.
    ImapResult<Done> verify(const QString& host, const QString& email, const QString& password) const;
    Expected<Done, QString> trash(const StoredAccount& account, const CachedMessage& message);

private:
    std::optional<QString> secretOf(const StoredAccount& account) const;
    void keepSecret(const WatchedInbox& inbox);

    Storage& m_storage;
    const CredentialCipher& m_cipher;
    const ImapSettings m_settings;
    MessageCache& m_cache;
    const WatchTimings m_timings;
    std::mutex m_mutex;
    QHash<QString, std::shared_ptr<InboxWatcher>> m_watchers;
};

} // namespace tessary::server
