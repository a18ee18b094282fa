#include "PostgresServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUrl>

#include <libpq-fe.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessary::test {

namespace {

const QString binaries = QStringLiteral("/usr/lib/postgresql/15/bin/");

// What runs PostgreSQL's programs as an unprivileged user when the tests run as root.
QStringList asServerUser()
{
    if (getuid() != 0)
        return {};
    return {QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
            QStringLiteral("--clear-groups"), QStringLiteral("--")};
}

} // namespace

PostgresServer::PostgresServer()
{
    chmod(QFile::encodeName(m_dir.path()).constData(), 0711); // the server's user reaches its data
    const QString data = m_dir.filePath(QStringLiteral("data"));
    QDir(m_dir.path()).mkpath(QStringLiteral("data"));
    if (getuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody || chown(QFile::encodeName(data).constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
            m_error = QStringLiteral("can't hand the data folder to the user nobody");
            return;
        }
    }
    QStringList initdb = asServerUser();
    initdb << binaries + QStringLiteral("initdb") << QStringLiteral("--pgdata=") + data
           << QStringLiteral("--auth=trust") << QStringLiteral("--username=tessary")
           << QStringLiteral("--no-sync") << QStringLiteral("--encoding=UTF8")
           << QStringLiteral("--locale=C");
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(initdb.takeFirst(), initdb);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        m_error = QStringLiteral("initdb failed: ") + QString::fromUtf8(process.readAll());
        return;
    }
    start();
}

PostgresServer& PostgresServer::shared()
{
    static PostgresServer server;
    return server;
}

QString PostgresServer::url(const QString& database) const
{
    const QByteArray socketFolder = QUrl::toPercentEncoding(m_dir.filePath(QStringLiteral("data")));
    return QStringLiteral("postgresql://tessary@") + QString::fromUtf8(socketFolder) + QLatin1Char('/') +
           database + QStringLiteral("?connect_timeout=5");
}

bool PostgresServer::start()
{
    const QString data = m_dir.filePath(QStringLiteral("data"));
    QStringList command = asServerUser();
    // The socket lives in the data folder, which only the server's user may write to.
    command << binaries + QStringLiteral("postgres") << QStringLiteral("-D") << data << QStringLiteral("-k")
            << data << QStringLiteral("-c") << QStringLiteral("listen_addresses=") << QStringLiteral("-F");
    const QString log = m_dir.filePath(QStringLiteral("postgres.log"));
    const auto answers = [this] {
        return PQping(url(QStringLiteral("postgres")).toUtf8().constData()) == PQPING_OK;
    };
    if (m_process.start(command, answers, 300, log))
        return true;
    m_error = QStringLiteral("postgres did not start: ") + logTail(log);
    return false;
}

QString PostgresServer::newDatabase()
{
    const QString name = QStringLiteral("backend%1").arg(++m_databases);
    if (query(url(QStringLiteral("postgres")), ("CREATE DATABASE " + name).toUtf8().constData()))
        return url(name);
    m_error = QStringLiteral("can't create the database ") + name;
    return {};
}

std::optional<QByteArray> PostgresServer::query(const QString& url, const char* sql)
{
    PGconn* connection = PQconnectdb(url.toUtf8().constData());
    PGresult* result = PQexec(connection, sql);
    std::optional<QByteArray> value;
    if (PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK)
        value = PQntuples(result) > 0 ? QByteArray(PQgetvalue(result, 0, 0)) : QByteArray();
    PQclear(result);
    PQfinish(connection);
    return value;
}

} // namespace tessary::test
