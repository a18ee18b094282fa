#pragma once

#include "server/PostgresDatabase.h"
#include "server/Storage.h"

#include <memory>

namespace tessary::server {

// The storage of a hosted backend: a PostgreSQL database that several instances share. Pending
// sign-ins live there too, so the instance the browser comes back to finishes what another began.
class PostgresStorage : public Storage {
public:
    // `url`: "postgresql://user@host/database", or any form libpq takes.
    static Expected<std::unique_ptr<PostgresStorage>, QString> open(const QString& url);
    explicit PostgresStorage(std::shared_ptr<PostgresDatabase> database);

    // The connection, for the other tables the instances share.
    const std::shared_ptr<PostgresDatabase>& database() const { return m_database; }

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
    QList<StoredAccount> selectAccounts(const char* where, const QString& argument);

    std::shared_ptr<PostgresDatabase> m_database;
};

} // namespace tessary::server
