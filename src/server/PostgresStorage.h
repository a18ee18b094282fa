#pragma once

#include "server/Storage.h"

#include <memory>
#include <mutex>
#include <vector>

struct pg_conn;
struct pg_result;

namespace tessary::server {

// The storage of a hosted backend: a PostgreSQL database that several instances share. Each
// instance makes the tables it needs, or brings older ones up to date, under a lock the database
// holds, so instances starting together never migrate twice. One connection guarded by a mutex
// (the writes are few and small); a connection the server dropped, as in a restart of the
// database, is opened again by the next call.
class PostgresStorage : public Storage {
public:
    // `url`: "postgresql://user@host/database", or any form libpq takes.
    static Expected<std::unique_ptr<PostgresStorage>, QString> open(const QString& url);
    ~PostgresStorage() override;

    struct ResultFree {
        void operator()(pg_result* result) const;
    };
    using Result = std::unique_ptr<pg_result, ResultFree>;

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
    explicit PostgresStorage(pg_conn* connection);
    bool connected(); // the connection is up, opened again when the server dropped it
    Result query(const char* sql, const std::vector<QByteArray>& parameters = {});
    QList<StoredAccount> selectAccounts(const char* where, const QString& argument);

    pg_conn* m_connection;
    std::mutex m_mutex;
};

// The version of the tables this build reads and writes; a database made by a newer build is
// refused rather than written to in an older shape.
constexpr int postgresSchemaVersion = 1;

} // namespace tessary::server
