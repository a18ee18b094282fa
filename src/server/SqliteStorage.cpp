#include "server/SqliteStorage.h"

#include <sqlite3.h>

namespace tessary::server {

namespace {

// One prepared statement, finalized however the function leaves.
class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        m_ok = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) == SQLITE_OK;
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(const QByteArray& text)
    {
        if (m_ok)
            m_ok = sqlite3_bind_text(m_stmt, ++m_index, text.constData(), int(text.size()),
                                     SQLITE_TRANSIENT) == SQLITE_OK;
        return *this;
    }
    Statement& bind(const QString& text) { return bind(text.toUtf8()); }
    int step() { return m_ok ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    QString text(int column) const
    {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column)));
    }
    QByteArray bytes(int column) const
    {
        return QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column)),
                          sqlite3_column_bytes(m_stmt, column));
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    bool m_ok = false;
    int m_index = 0;
};

const char* const tablesSql = R"(
CREATE TABLE IF NOT EXISTS installs (
    id TEXT PRIMARY KEY,
    token_hash TEXT NOT NULL UNIQUE,
    created_at TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS accounts (
    id TEXT PRIMARY KEY,
    install_id TEXT NOT NULL REFERENCES installs(id),
    provider TEXT NOT NULL,
    email TEXT NOT NULL,
    host TEXT NOT NULL,
    status TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS credentials (
    account_id TEXT PRIMARY KEY REFERENCES accounts(id),
    sealed TEXT NOT NULL);
)";

} // namespace

Expected<std::unique_ptr<SqliteStorage>, QString> SqliteStorage::open(const QString& path)
{
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr) != SQLITE_OK) {
        const QString reason = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return Unexpected{QStringLiteral("Can't open %1: %2").arg(path, reason)};
    }
    sqlite3_busy_timeout(db, 5000);
    char* error = nullptr;
    const QByteArray setup =
        QByteArray("PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON; PRAGMA secure_delete=ON;") + tablesSql;
    if (sqlite3_exec(db, setup.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString reason = QString::fromUtf8(error);
        sqlite3_free(error);
        sqlite3_close(db);
        return Unexpected{QStringLiteral("Can't prepare %1: %2").arg(path, reason)};
    }
    return std::unique_ptr<SqliteStorage>(new SqliteStorage(db));
}

SqliteStorage::SqliteStorage(sqlite3* db)
    : m_db(db)
{
}

SqliteStorage::~SqliteStorage()
{
    sqlite3_close(m_db);
}

Expected<QString, QString> SqliteStorage::createInstall(const QByteArray& tokenHash)
{
    std::lock_guard lock(m_mutex);
    const QString id = newStorageId();
    Statement insert(m_db,
                     "INSERT INTO installs (id, token_hash, created_at) VALUES (?, ?, CURRENT_TIMESTAMP)");
    if (insert.bind(id).bind(tokenHash.toHex()).step() != SQLITE_DONE)
        return Unexpected{QString::fromUtf8(sqlite3_errmsg(m_db))};
    return id;
}

Expected<std::optional<QString>, QString> SqliteStorage::installForToken(const QByteArray& tokenHash)
{
    std::lock_guard lock(m_mutex);
    Statement select(m_db, "SELECT id FROM installs WHERE token_hash = ?");
    switch (select.bind(tokenHash.toHex()).step()) {
    case SQLITE_ROW:
        return std::optional(select.text(0));
    case SQLITE_DONE:
        return std::optional<QString>();
    default:
        return Unexpected{QString::fromUtf8(sqlite3_errmsg(m_db))};
    }
}

Expected<Done, QString> SqliteStorage::addAccount(const StoredAccount& account,
                                                  const QByteArray& sealedCredential)
{
    std::lock_guard lock(m_mutex);
    sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr);
    Statement insert(m_db, "INSERT INTO accounts (id, install_id, provider, email, host, status) "
                           "VALUES (?, ?, ?, ?, ?, ?)");
    Statement secret(m_db, "INSERT INTO credentials (account_id, sealed) VALUES (?, ?)");
    const bool ok = insert.bind(account.id)
                            .bind(account.installId)
                            .bind(account.provider)
                            .bind(account.email)
                            .bind(account.host)
                            .bind(account.status)
                            .step() == SQLITE_DONE &&
                    secret.bind(account.id).bind(sealedCredential).step() == SQLITE_DONE;
    if (!ok) {
        const QString reason = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return Unexpected{reason};
    }
    sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    return Done{};
}

QList<StoredAccount> SqliteStorage::selectAccounts(const char* where, const QString& argument)
{
    std::lock_guard lock(m_mutex);
    const QByteArray sql =
        QByteArray("SELECT id, install_id, provider, email, host, status FROM accounts WHERE ") + where +
        " ORDER BY rowid";
    Statement select(m_db, sql.constData());
    select.bind(argument);
    QList<StoredAccount> found;
    while (select.step() == SQLITE_ROW)
        found.append(
            {select.text(0), select.text(1), select.text(2), select.text(3), select.text(4), select.text(5)});
    return found;
}

QList<StoredAccount> SqliteStorage::accounts(const QString& installId)
{
    return selectAccounts("install_id = ?", installId);
}

QList<StoredAccount> SqliteStorage::activeAccounts()
{
    return selectAccounts("status = ?", QStringLiteral("active"));
}

std::optional<QByteArray> SqliteStorage::credential(const QString& accountId)
{
    std::lock_guard lock(m_mutex);
    Statement select(m_db, "SELECT sealed FROM credentials WHERE account_id = ?");
    if (select.bind(accountId).step() != SQLITE_ROW)
        return std::nullopt;
    return select.bytes(0);
}

QList<std::pair<QString, QByteArray>> SqliteStorage::credentials()
{
    std::lock_guard lock(m_mutex);
    Statement select(m_db, "SELECT account_id, sealed FROM credentials WHERE sealed <> ''");
    QList<std::pair<QString, QByteArray>> found;
    while (select.step() == SQLITE_ROW)
        found.append({select.text(0), select.bytes(1)});
    return found;
}

bool SqliteStorage::activateAccount(const QString& accountId, const QString& email,
                                    const QByteArray& sealedCredential)
{
    std::lock_guard lock(m_mutex);
    Statement account(m_db,
                      "UPDATE accounts SET status = 'active', email = ? WHERE id = ? AND status = 'pending'");
    if (account.bind(email).bind(accountId).step() != SQLITE_DONE || sqlite3_changes(m_db) != 1)
        return false;
    Statement secret(m_db, "UPDATE credentials SET sealed = ? WHERE account_id = ?");
    return secret.bind(sealedCredential).bind(accountId).step() == SQLITE_DONE;
}

bool SqliteStorage::updateCredential(const QString& accountId, const QByteArray& sealedCredential)
{
    std::lock_guard lock(m_mutex);
    bool updated = false;
    {
        Statement secret(m_db, "UPDATE credentials SET sealed = ? WHERE account_id = ?");
        updated = secret.bind(sealedCredential).bind(accountId).step() == SQLITE_DONE;
    }
    forgetOldVersions();
    return updated;
}

// secure_delete zeroes what a change frees in the database's pages, but the log still holds the
// pages as they were until a checkpoint copies them back and truncates it.
void SqliteStorage::forgetOldVersions()
{
    sqlite3_exec(m_db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
}

bool SqliteStorage::keepSignIn(const PendingSignIn& signIn, std::chrono::seconds window)
{
    std::lock_guard lock(m_mutex);
    m_signIns.insert(signIn.state, KeptSignIn{signIn, std::chrono::steady_clock::now() + window});
    return true;
}

std::optional<PendingSignIn> SqliteStorage::takeSignIn(const QString& state)
{
    std::lock_guard lock(m_mutex);
    const auto found = m_signIns.find(state);
    if (found == m_signIns.end() || found->taken || found->expires <= std::chrono::steady_clock::now())
        return std::nullopt;
    found->taken = true;
    return found->signIn;
}

void SqliteStorage::removeStalePendingAccounts()
{
    std::lock_guard lock(m_mutex);
    const auto now = std::chrono::steady_clock::now();
    m_signIns.removeIf([&](const auto& kept) { return kept.value().expires <= now; });
    QStringList stale;
    {
        Statement pending(m_db, "SELECT id FROM accounts WHERE status = 'pending'");
        while (pending.step() == SQLITE_ROW)
            stale.append(pending.text(0));
    }
    for (const KeptSignIn& kept : std::as_const(m_signIns))
        stale.removeAll(kept.signIn.accountId);
    for (const QString& accountId : std::as_const(stale)) {
        Statement secret(m_db, "DELETE FROM credentials WHERE account_id = ?");
        Statement account(m_db, "DELETE FROM accounts WHERE id = ?");
        secret.bind(accountId).step();
        account.bind(accountId).step();
    }
}

bool SqliteStorage::removeAccount(const QString& installId, const QString& accountId)
{
    std::lock_guard lock(m_mutex);
    bool removed = false;
    {
        Statement owned(m_db, "SELECT id FROM accounts WHERE id = ? AND install_id = ?");
        if (owned.bind(accountId).bind(installId).step() != SQLITE_ROW)
            return false;
    }
    {
        Statement secret(m_db, "DELETE FROM credentials WHERE account_id = ?");
        Statement account(m_db, "DELETE FROM accounts WHERE id = ?");
        removed =
            secret.bind(accountId).step() == SQLITE_DONE && account.bind(accountId).step() == SQLITE_DONE;
    }
    m_signIns.removeIf([&accountId](const auto& kept) { return kept.value().signIn.accountId == accountId; });
    forgetOldVersions();
    return removed;
}

} // namespace tessary::server
