#pragma once

#include "server/Storage.h"

#include <memory>
#include <mutex>

struct sqlite3;

namespace tessary::server {

// The storage of a single-machine backend: one SQLite file in write-ahead-log mode, one
// connection guarded by a mutex (the backend's writes are few and small). A removed or replaced
// credential is overwritten in the file and gone from the log once the call returns.
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
    void removePendingAccounts() override;

private:
    explicit SqliteStorage(sqlite3* db);
    QList<StoredAccount> selectAccounts(const char* where, const QString& argument);
    void forgetOldVersions();

    sqlite3* m_db;
    std::mutex m_mutex;
};

} // namespace tessary::server
