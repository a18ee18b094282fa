#include "server/PostgresDatabase.h"

#include <QLoggingCategory>

#include <libpq-fe.h>

#include <array>

namespace tessary::server {

namespace {

Q_LOGGING_CATEGORY(logDatabase, "tessary.server.storage", QtWarningMsg)

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
)",
                                                                   R"(
CREATE TABLE instances (
    id TEXT PRIMARY KEY,
    address TEXT NOT NULL,
    seen_at TIMESTAMPTZ NOT NULL);
CREATE TABLE leases (
    account_id TEXT PRIMARY KEY REFERENCES accounts(id) ON DELETE CASCADE,
    holder TEXT NOT NULL,
    expires_at TIMESTAMPTZ NOT NULL);
CREATE INDEX leases_by_holder ON leases (holder);
CREATE TABLE sign_ins (
    state TEXT PRIMARY KEY,
    account_id TEXT NOT NULL,
    install_id TEXT NOT NULL,
    provider TEXT NOT NULL,
    verifier TEXT NOT NULL,
    expires_at TIMESTAMPTZ NOT NULL,
    taken BOOLEAN NOT NULL DEFAULT false);
CREATE TABLE inbox_states (
    account_id TEXT PRIMARY KEY REFERENCES accounts(id) ON DELETE CASCADE,
    holder TEXT NOT NULL,
    settled BOOLEAN NOT NULL,
    problem TEXT,
    listed_problem TEXT);
)"};

using Result = std::unique_ptr<pg_result, decltype(&PQclear)>;

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
        return Result(PQexec(connection, sql), &PQclear);
    std::vector<const char*> values;
    values.reserve(parameters.size());
    for (const QByteArray& parameter : parameters)
        values.push_back(parameter.constData());
    return Result(
        PQexecParams(connection, sql, int(values.size()), nullptr, values.data(), nullptr, nullptr, 0),
        &PQclear);
}

bool succeeded(const Result& result)
{
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
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
    const int version = fresh ? 0 : QByteArray(PQgetvalue(step.get(), 0, 0)).toInt();
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

void PostgresDatabase::Rows::Free::operator()(pg_result* result) const
{
    PQclear(result);
}

int PostgresDatabase::Rows::count() const
{
    return PQntuples(m_result.get());
}

int PostgresDatabase::Rows::changed() const
{
    return QByteArray(PQcmdTuples(m_result.get())).toInt();
}

QString PostgresDatabase::Rows::text(int row, int column) const
{
    return QString::fromUtf8(PQgetvalue(m_result.get(), row, column));
}

QByteArray PostgresDatabase::Rows::bytes(int row, int column) const
{
    return QByteArray(PQgetvalue(m_result.get(), row, column), PQgetlength(m_result.get(), row, column));
}

Expected<std::shared_ptr<PostgresDatabase>, QString> PostgresDatabase::open(const QString& url)
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
    return std::shared_ptr<PostgresDatabase>(new PostgresDatabase(connection, url));
}

PostgresDatabase::PostgresDatabase(pg_conn* connection, QString url)
    : m_connection(connection)
    , m_url(std::move(url))
{
}

PostgresDatabase::~PostgresDatabase()
{
    PQfinish(m_connection);
}

bool PostgresDatabase::connected()
{
    if (PQstatus(m_connection) == CONNECTION_OK)
        return true;
    PQreset(m_connection);
    if (PQstatus(m_connection) == CONNECTION_OK)
        return true;
    qCWarning(logDatabase).noquote() << "the database is out of reach:"
                                     << QString::fromUtf8(PQerrorMessage(m_connection)).trimmed();
    return false;
}

Expected<PostgresDatabase::Rows, QString> PostgresDatabase::query(const char* sql,
                                                                  const std::vector<QByteArray>& parameters)
{
    std::lock_guard lock(m_mutex);
    if (!connected())
        return Unexpected{QStringLiteral("The database is out of reach")};
    Result result = run(m_connection, sql, parameters);
    // The connection learns that the server went away (a restart) only from a statement that
    // fails; once opened again, that statement is asked once more.
    if (!succeeded(result) && PQstatus(m_connection) == CONNECTION_BAD && connected())
        result = run(m_connection, sql, parameters);
    if (!succeeded(result))
        return Unexpected{reasonOf(result.get(), m_connection)};
    Rows rows;
    rows.m_result.reset(result.release());
    return rows;
}

} // namespace tessary::server
