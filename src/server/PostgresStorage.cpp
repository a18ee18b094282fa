#include "server/PostgresStorage.h"

#include <QLoggingCategory>

#include <libpq-fe.h>

#include <array>
#include <vector>

namespace tessary::server {

namespace {

Q_LOGGING_CATEGORY(logStorage, "tessary.server.storage", QtWarningMsg)

// Any number all instances agree on: it names the lock they take to make or migrate the tables.
constexpr long long migrationLock = 0x7e55a41;

// What each version of the tables adds to the one before: migrations[n] brings version n to n + 1.
// Sealed credentials are base64 text; mail never reaches the database.
const std::array<const char*, postgresSchemaVersion> migrations = {R"(
CREATE TABLE installs (
    id TEXT PRIMARY KEY,
    token_hash TEXT NOT NULL UNIQUE,
    created_at TIMESTAMPTZ NOT NULL DEFAULT now());
CREATE TABLE accounts (
    position BIGSERIAL,
    id TEXT PRIMARY KEY,
    install_id TEXT NOT NULL REFERENCES installs(id),
    provider TEXT NOT NULL,
    email TEXT NOT NULL,
    host TEXT NOT NULL,
    status TEXT NOT NULL);
CREATE TABLE credentials (
    account_id TEXT PRIMARY KEY REFERENCES accounts(id) ON DELETE CASCADE,
    sealed TEXT NOT NULL);
)"};

using Result = PostgresStorage::Result;

// The server's one-line reason, without the DETAIL lines that may quote the row (a token hash).
QString reasonOf(const PGresult* result, const pg_conn* connection)
{
    if (const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr)
        return QString::fromUtf8(primary);
    return QString::fromUtf8(PQerrorMessage(connection)).trimmed();
}

// A statement with text parameters ($1, $2, …); without any, it may be several statements.
Result run(pg_conn* connection, const char* sql, const std::vector<QByteArray>& parameters = {})
{
    if (parameters.empty())
        return Result(PQexec(connection, sql));
    std::vector<const char*> values;
    values.reserve(parameters.size());
    for (const QByteArray& parameter : parameters)
        values.push_back(parameter.constData());
    return Result(
        PQexecParams(connection, sql, int(values.size()), nullptr, values.data(), nullptr, nullptr, 0));
}

bool succeeded(const Result& result)
{
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

// True when the statement changed exactly one row.
bool changedOne(const Result& result)
{
    return succeeded(result) && QByteArray(PQcmdTuples(result.get())) == "1";
}

QString text(const Result& result, int row, int column)
{
    return QString::fromUtf8(PQgetvalue(result.get(), row, column));
}

QByteArray bytes(const Result& result, int row, int column)
{
    return QByteArray(PQgetvalue(result.get(), row, column), PQgetlength(result.get(), row, column));
}

// Makes the tables, or brings them to this build's version, in one transaction under a lock.
QString migrate(pg_conn* connection)
{
    if (!succeeded(run(connection, "BEGIN")))
        return reasonOf(nullptr, connection);
    const auto fail = [connection](const Result& result) {
        const QString reason = reasonOf(result.get(), connection);
        run(connection, "ROLLBACK");
        return reason;
    };
    Result step = run(connection, "SELECT pg_advisory_xact_lock($1)", {QByteArray::number(migrationLock)});
    if (!succeeded(step))
        return fail(step);
    step = run(connection, "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    if (!succeeded(step))
        return fail(step);
    step = run(connection, "SELECT version FROM schema_version");
    if (!succeeded(step))
        return fail(step);
    const bool fresh = PQntuples(step.get()) == 0;
    const int version = fresh ? 0 : text(step, 0, 0).toInt();
    if (version > postgresSchemaVersion) {
        run(connection, "ROLLBACK");
        return QStringLiteral("its tables are version %1, made by a newer tessary-backend; this one knows "
                              "version %2")
            .arg(version)
            .arg(postgresSchemaVersion);
    }
    for (int next = version; next < postgresSchemaVersion; ++next) {
        step = run(connection, migrations[size_t(next)]);
        if (!succeeded(step))
            return fail(step);
    }
    step = run(connection,
               fresh ? "INSERT INTO schema_version (version) VALUES ($1)"
                     : "UPDATE schema_version SET version = $1",
               {QByteArray::number(postgresSchemaVersion)});
    if (!succeeded(step))
        return fail(step);
    step = run(connection, "COMMIT");
    return succeeded(step) ? QString() : reasonOf(step.get(), connection);
}

} // namespace

void PostgresStorage::ResultFree::operator()(pg_result* result) const
{
    PQclear(result);
}

Expected<std::unique_ptr<PostgresStorage>, QString> PostgresStorage::open(const QString& url)
{
    pg_conn* connection = PQconnectdb(url.toUtf8().constData());
    if (PQstatus(connection) != CONNECTION_OK) {
        const QString reason = QString::fromUtf8(PQerrorMessage(connection)).trimmed();
        PQfinish(connection);
        return Unexpected{QStringLiteral("Can't reach the database: %1").arg(reason)};
    }
    run(connection, "SET client_min_messages = warning"); // no notices for tables that exist
    if (const QString error = migrate(connection); !error.isEmpty()) {
        PQfinish(connection);
        return Unexpected{QStringLiteral("Can't prepare the database: %1").arg(error)};
    }
    return std::unique_ptr<PostgresStorage>(new PostgresStorage(connection));
}

PostgresStorage::PostgresStorage(pg_conn* connection)
    : m_connection(connection)
{
}

PostgresStorage::~PostgresStorage()
{
    PQfinish(m_connection);
}

Result PostgresStorage::query(const char* sql, const std::vector<QByteArray>& parameters)
{
    Result result = run(m_connection, sql, parameters);
    // The connection learns that the server went away (a restart) only from a statement that
    // fails; once opened again, that statement is asked once more.
    if (!succeeded(result) && PQstatus(m_connection) == CONNECTION_BAD && connected())
        result = run(m_connection, sql, parameters);
    return result;
}

bool PostgresStorage::connected()
{
    if (PQstatus(m_connection) == CONNECTION_OK)
        return true;
    PQreset(m_connection);
    if (PQstatus(m_connection) == CONNECTION_OK)
        return true;
    qCWarning(logStorage).noquote() << "the database is out of reach:"
                                    << QString::fromUtf8(PQerrorMessage(m_connection)).trimmed();
    return false;
}

Expected<QString, QString> PostgresStorage::createInstall(const QByteArray& tokenHash)
{
    std::lock_guard lock(m_mutex);
    if (!connected())
        return Unexpected{QStringLiteral("The database is out of reach")};
    const QString id = newStorageId();
    const Result insert =
        query("INSERT INTO installs (id, token_hash) VALUES ($1, $2)", {id.toUtf8(), tokenHash.toHex()});
    if (!succeeded(insert))
        return Unexpected{reasonOf(insert.get(), m_connection)};
    return id;
}

Expected<std::optional<QString>, QString> PostgresStorage::installForToken(const QByteArray& tokenHash)
{
    std::lock_guard lock(m_mutex);
    if (!connected())
        return Unexpected{QStringLiteral("The database is out of reach")};
    const Result select = query("SELECT id FROM installs WHERE token_hash = $1", {tokenHash.toHex()});
    if (!succeeded(select))
        return Unexpected{reasonOf(select.get(), m_connection)};
    if (PQntuples(select.get()) != 1)
        return std::optional<QString>();
    return std::optional(text(select, 0, 0));
}

Expected<Done, QString> PostgresStorage::addAccount(const StoredAccount& account,
                                                    const QByteArray& sealedCredential)
{
    std::lock_guard lock(m_mutex);
    if (!connected())
        return Unexpected{QStringLiteral("The database is out of reach")};
    // One statement, so the account never stands without its credential.
    const Result insert =
        query("WITH added AS (INSERT INTO accounts (id, install_id, provider, email, host, "
              "status) VALUES ($1, $2, $3, $4, $5, $6) RETURNING id) "
              "INSERT INTO credentials (account_id, sealed) SELECT id, $7 FROM added",
              {account.id.toUtf8(), account.installId.toUtf8(), account.provider.toUtf8(),
               account.email.toUtf8(), account.host.toUtf8(), account.status.toUtf8(), sealedCredential});
    if (!changedOne(insert))
        return Unexpected{reasonOf(insert.get(), m_connection)};
    return Done{};
}

QList<StoredAccount> PostgresStorage::selectAccounts(const char* where, const QString& argument)
{
    std::lock_guard lock(m_mutex);
    if (!connected())
        return {};
    const QByteArray sql =
        QByteArray("SELECT id, install_id, provider, email, host, status FROM accounts WHERE ") + where +
        " ORDER BY position";
    const Result select = query(sql.constData(), {argument.toUtf8()});
    QList<StoredAccount> found;
    for (int row = 0; succeeded(select) && row < PQntuples(select.get()); ++row)
        found.append({text(select, row, 0), text(select, row, 1), text(select, row, 2), text(select, row, 3),
                      text(select, row, 4), text(select, row, 5)});
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
    std::lock_guard lock(m_mutex);
    if (!connected())
        return std::nullopt;
    const Result select = query("SELECT sealed FROM credentials WHERE account_id = $1", {accountId.toUtf8()});
    if (!succeeded(select) || PQntuples(select.get()) != 1)
        return std::nullopt;
    return bytes(select, 0, 0);
}

QList<std::pair<QString, QByteArray>> PostgresStorage::credentials()
{
    std::lock_guard lock(m_mutex);
    if (!connected())
        return {};
    const Result select = query("SELECT account_id, sealed FROM credentials WHERE sealed <> ''");
    QList<std::pair<QString, QByteArray>> found;
    for (int row = 0; succeeded(select) && row < PQntuples(select.get()); ++row)
        found.append({text(select, row, 0), bytes(select, row, 1)});
    return found;
}

bool PostgresStorage::activateAccount(const QString& accountId, const QString& email,
                                      const QByteArray& sealedCredential)
{
    std::lock_guard lock(m_mutex);
    if (!connected())
        return false;
    const Result update =
        query("WITH activated AS (UPDATE accounts SET status = 'active', email = $2 "
              "WHERE id = $1 AND status = 'pending' RETURNING id) "
              "UPDATE credentials SET sealed = $3 WHERE account_id IN (SELECT id FROM activated)",
              {accountId.toUtf8(), email.toUtf8(), sealedCredential});
    return changedOne(update);
}

bool PostgresStorage::updateCredential(const QString& accountId, const QByteArray& sealedCredential)
{
    std::lock_guard lock(m_mutex);
    if (!connected())
        return false;
    const Result update = query("UPDATE credentials SET sealed = $2 WHERE account_id = $1",
                                {accountId.toUtf8(), sealedCredential});
    return succeeded(update);
}

bool PostgresStorage::removeAccount(const QString& installId, const QString& accountId)
{
    std::lock_guard lock(m_mutex);
    if (!connected())
        return false;
    // The credential goes with its account (ON DELETE CASCADE).
    const Result remove = query("DELETE FROM accounts WHERE id = $1 AND install_id = $2",
                                {accountId.toUtf8(), installId.toUtf8()});
    return changedOne(remove);
}

void PostgresStorage::removePendingAccounts()
{
    std::lock_guard lock(m_mutex);
    if (connected())
        query("DELETE FROM accounts WHERE status = 'pending'");
}

} // namespace tessary::server
