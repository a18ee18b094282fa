#pragma once

#include "server/Storage.h"

#include <QHash>

#include <memory>
#include <mutex>

struct sqlite3;

namespace tessary::server {

// The storage of a single-machine backend: one SQLite file in write-ahead-log mode, one
// connection guarded by a mutex (the backend's writes are few and small). A removed or replaced
// credential is overwritten in the file and gone from the log once the call returns. Pending
// sign-ins are kept in memory only: with one instance, a restart ends them all.
class SqliteStorage : public Storage {
public:
    static Expected<std::unique_ptr<SqliteStorage>, QString> open(const QString& path);
    ~SqliteStorage() override;

    Expected<QString, QString> createInstall(const QByteArray& tokenHash) override;
    Expected<std::optional<QString>, QString> installForToken(const QByteArray& tokenHash) override;
    Expected<Done, QString> addAccount(const StoredAccount& account,
                                       const QByteArray& sealedCredential) override;
    QList<StoredAccount> accounts(const QString& installId) override;
    QList<StoredAccount> activeAccounts() override;
    std::optional<QByteArray> credential(const QString& accountId) override;
    QList<std::pair<QString, QByteArray>> credentials() override;
    bool activateAccount(const QString& accountId, const QString& email,
                         const QByteArray& sealedCredential) override;
    bool updateCredential(const QString& accountId, const QByteArray& sealedCredential) override;
    bool removeAccount(const QString& installId, const QString& accountId) override;
    bool keepSignIn(const PendingSignIn& signIn, std::chrono::seconds window) override;
    std::optional<PendingSignIn> takeSignIn(const QString& state) override;
    void removeStalePendingAccounts() override;

private:
    explicit SqliteStorage(sqlite3* db);
    QList<StoredAccount> selectAccounts(const char* where, const QString& argument);
    void forgetOldVersions();

    struct KeptSignIn {
        PendingSignIn signIn;
        std::chrono::steady_clock::time_point expires;
        bool taken = false; // the pending inbox stays while the code is exchanged
    };

    sqlite3* m_db;
    std::mutex m_mutex;
    QHash<QString, KeptSignIn> m_signIns; // by state
};

} // namespace tessary::server
