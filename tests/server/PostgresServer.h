#pragma once

#include "ChildProcess.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <libpq-fe.h>

#include <optional>

#include <pwd.h>
#include <sys/stat.h>

namespace tessary::test {

// A throw-away PostgreSQL for one test program: initdb in a temp folder, served on a Unix socket
// there only (no TCP port to collide on), as the user nobody when the tests run as root (initdb
// refuses root). Stopped by its own pid when destroyed.
class PostgresServer {
public:
    PostgresServer()
    {
        chmod(QFile::encodeName(m_dir.path()).constData(), 0711); // the server's user reaches its data
        QDir(m_dir.path()).mkpath(QStringLiteral("data"));
        const passwd* nobody = getuid() == 0 ? getpwnam("nobody") : nullptr;
        if (getuid() == 0 &&
            (!nobody || chown(QFile::encodeName(data()).constData(), nobody->pw_uid, nobody->pw_gid) != 0)) {
            m_error = QStringLiteral("can't hand the data folder to the user nobody");
            return;
        }
        QStringList initdb = asServerUser() << binaries + "initdb"
                                            << "--pgdata=" + data() << "--auth=trust"
                                            << "--username=tessary"
                                            << "--no-sync"
                                            << "--encoding=UTF8"
                                            << "--locale=C";
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(initdb.takeFirst(), initdb);
        if (!process.waitForFinished(60000) || process.exitCode() != 0)
            m_error = "initdb failed: " + QString::fromUtf8(process.readAll());
        else
            start();
    }
    ~PostgresServer() { stop(); } // not ChildProcess's SIGTERM, which waits for every client to leave
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;
    // One server for the whole test program; each test takes databases of its own.
    static PostgresServer& shared()
    {
        static PostgresServer server;
        return server;
    }

    bool isReady() const { return m_process.isRunning(); }
    QString error() const { return m_error; }
    // A new, empty database and the URL the backend takes for it.
    QString newDatabase()
    {
        const QString name = QStringLiteral("backend%1").arg(++m_databases);
        if (query(url(QStringLiteral("postgres")), ("CREATE DATABASE " + name).toUtf8().constData()))
            return url(name);
        m_error = "can't create the database " + name;
        return {};
    }
    // The first value `sql` gives in the database at `url` ("" for no rows), nothing when it fails.
    static std::optional<QByteArray> query(const QString& url, const char* sql)
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

    // Again after stop(): the same data and socket, which lives in the data folder only the
    // server's user may write to.
    bool start()
    {
        const QString log = m_dir.filePath(QStringLiteral("postgres.log"));
        const auto answers = [this] { return PQping(url("postgres").toUtf8().constData()) == PQPING_OK; };
        if (m_process.start(asServerUser() << binaries + "postgres"
                                           << "-D" << data() << "-k" << data() << "-c"
                                           << "listen_addresses="
                                           << "-F",
                            answers, 300, log))
            return true;
        m_error = "postgres did not start: " + logTail(log);
        return false;
    }
    void stop() { m_process.stop(SIGINT); } // a fast shutdown: connections are ended, nothing waits

private:
    static inline const QString binaries = QStringLiteral("/usr/lib/postgresql/15/bin/");
    static QStringList asServerUser()
    {
        if (getuid() != 0)
            return {};
        return {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"};
    }
    QString data() const { return m_dir.filePath(QStringLiteral("data")); }
    QString url(const QString& database) const
    {
        return "postgresql://tessary@" + QString::fromUtf8(QUrl::toPercentEncoding(data())) + '/' + database +
               "?connect_timeout=5";
    }

    QTemporaryDir m_dir;
    ChildProcess m_process;
    int m_databases = 0;
    QString m_error;
};

} // namespace tessary::test
