#include "server/PostgresStorage.h"

namespace tessary::server {

Expected<std::unique_ptr<PostgresStorage>, QString> PostgresStorage::open(const QString& url)
{
    auto database = PostgresDatabase::open(url);
    if (!database)
        return Unexpected{database.error()};
    return std::make_unique<PostgresStorage>(std::move(*database));
}

PostgresStorage::PostgresStorage(std::shared_ptr<PostgresDatabase> database)
    : m_database(std::move(database))
{
}

Expected<QString, QString> PostgresStorage::createInstall(const QByteArray& tokenHash)
{
    const QString id = newStorageId();
    const auto insert = m_database->query("INSERT INTO installs (id, token_hash) VALUES ($1, $2)",
                                          {id.toUtf8(), tokenHash.toHex()});
    if (!insert)
        return Unexpected{insert.error()};
    return id;
}

Expected<std::optional<QString>, QString> PostgresStorage::installForToken(const QByteArray& tokenHash)
{
    const auto select =
        m_database->query("SELECT id FROM installs WHERE token_hash = $1", {tokenHash.toHex()});
    if (!select)
        return Unexpected{select.error()};
    if (select->count() != 1)
        return std::optional<QString>();
    return std::optional(select->text(0, 0));
}

Expected<Done, QString> PostgresStorage::addAccount(const StoredAccount& account,
                                                    const QByteArray& sealedCredential)
{
    // One statement, so the account never stands without its credential.
    const auto insert = m_database->query(
        "WITH added AS (INSERT INTO accounts (id, install_id, provider, email, host, "
        "status) VALUES ($1, $2, $3, $4, $5, $6) RETURNING id) "
        "INSERT INTO credentials (account_id, sealed) SELECT id, $7 FROM added",
        {account.id.toUtf8(), account.installId.toUtf8(), account.provider.toUtf8(), account.email.toUtf8(),
         account.host.toUtf8(), account.status.toUtf8(), sealedCredential});
    if (!insert)
        return Unexpected{insert.error()};
    return Done{};
}

QList<StoredAccount> PostgresStorage::selectAccounts(const char* where, const QString& argument)
{
    const QByteArray sql =
        QByteArray("SELECT id, install_id, provider, email, host, status FROM accounts WHERE ") + where +
        " ORDER BY position";
    const auto select = m_database->query(sql.constData(), {argument.toUtf8()});
    QList<StoredAccount> found;
    for (int row = 0; select && row < select->count(); ++row)
        found.append({select->text(row, 0), select->text(row, 1), select->text(row, 2), select->text(row, 3),
                      select->text(row, 4), select->text(row, 5)});
    return found;
}

QList<StoredAccount> PostgresStorage::accounts(const QString& installId)
{
    return selectAccounts("install_id = $1", installId);
}

QList<StoredAccount> PostgresStorage::activeAccounts()
{
    return selectAccounts("status = $1", QStringLiteral("active"));
}

std::optional<QByteArray> PostgresStorage::credential(const QString& accountId)
{
    const auto select =
        m_database->query("SELECT sealed FROM credentials WHERE account_id = $1", {accountId.toUtf8()});
    if (!select || select->count() != 1)
        return std::nullopt;
    return select->bytes(0, 0);
}

QList<std::pair<QString, QByteArray>> PostgresStorage::credentials()
{
    const auto select = m_database->query("SELECT account_id, sealed FROM credentials WHERE sealed <> ''");
    QList<std::pair<QString, QByteArray>> found;
    for (int row = 0; select && row < select->count(); ++row)
        found.append({select->text(row, 0), select->bytes(row, 1)});
    return found;
}

bool PostgresStorage::activateAccount(const QString& accountId, const QString& email,
                                      const QByteArray& sealedCredential)
{
    const auto update =
        m_database->query("WITH activated AS (UPDATE accounts SET status = 'active', email = $2 "
                          "WHERE id = $1 AND status = 'pending' RETURNING id) "
                          "UPDATE credentials SET sealed = $3 WHERE account_id IN (SELECT id FROM activated)",
                          {accountId.toUtf8(), email.toUtf8(), sealedCredential});
    return update && update->changed() == 1;
}

bool PostgresStorage::updateCredential(const QString& accountId, const QByteArray& sealedCredential)
{
    return bool(m_database->query("UPDATE credentials SET sealed = $2 WHERE account_id = $1",
                                  {accountId.toUtf8(), sealedCredential}));
}

bool PostgresStorage::removeAccount(const QString& installId, const QString& accountId)
{
    // The credential and lease go with their account (ON DELETE CASCADE); its sign-in, kept before
    // the account was made, is dropped beside it.
    const auto remove =
        m_database->query("WITH sign_in AS (DELETE FROM sign_ins WHERE account_id = $1 AND install_id = $2) "
                          "DELETE FROM accounts WHERE id = $1 AND install_id = $2",
                          {accountId.toUtf8(), installId.toUtf8()});
    return remove && remove->changed() == 1;
}

bool PostgresStorage::keepSignIn(const PendingSignIn& signIn, std::chrono::seconds window)
{
    return bool(m_database->query(
        "INSERT INTO sign_ins (state, account_id, install_id, provider, verifier, expires_at) "
        "VALUES ($1, $2, $3, $4, $5, now() + make_interval(secs => $6))",
        {signIn.state.toUtf8(), signIn.accountId.toUtf8(), signIn.installId.toUtf8(),
         signIn.provider.toUtf8(), signIn.verifier, QByteArray::number(qint64(window.count()))}));
}

std::optional<PendingSignIn> PostgresStorage::takeSignIn(const QString& state)
{
    // Marked as it is read: of two instances the browser's answer might reach, one finishes it.
    // The row stays until its window has passed, so the pending inbox outlives the code's exchange.
    const auto taken =
        m_database->query("UPDATE sign_ins SET taken = true WHERE state = $1 AND NOT taken AND "
                          "expires_at > now() RETURNING install_id, account_id, provider, verifier",
                          {state.toUtf8()});
    if (!taken || taken->count() != 1)
        return std::nullopt;
    return PendingSignIn{state, taken->text(0, 0), taken->text(0, 1), taken->text(0, 2), taken->bytes(0, 3)};
}

void PostgresStorage::removeStalePendingAccounts()
{
    m_database->query("DELETE FROM accounts WHERE status = 'pending' AND NOT EXISTS (SELECT 1 FROM sign_ins "
                      "WHERE account_id = accounts.id AND expires_at > now()); "
                      "DELETE FROM sign_ins WHERE expires_at <= now()");
}

} // namespace tessary::server
