#pragma once

#include "ChildProcess.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <optional>

namespace tessary::test {

// A throw-away PostgreSQL for one test program: initdb in a temp folder, served on a Unix socket
// there only (no TCP port to collide on), as an unprivileged user when the tests run as root
// (initdb refuses root). Stopped by its own pid when destroyed.
class PostgresServer {
public:
    PostgresServer();
    ~PostgresServer() { stop(); } // not ChildProcess's SIGTERM, which waits for every client to leave
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;
    // One server for the whole test program; each test takes databases of its own.
    static PostgresServer& shared();

    bool isReady() const { return m_process.isRunning(); }
    QString error() const { return m_error; }
    // A new, empty database and the URL the backend takes for it.
    QString newDatabase();
    // The first value `sql` gives in the database at `url` ("" when it gives no rows), or nothing
    // when it fails.
    static std::optional<QByteArray> query(const QString& url, const char* sql);

    bool start();                           // again after stop(): the same data and socket
    void stop() { m_process.stop(SIGINT); } // a fast shutdown: connections are ended, nothing waits

private:
    QString url(const QString& database) const;

    QTemporaryDir m_dir;
    ChildProcess m_process;
    int m_databases = 0;
    QString m_error;
};

} // namespace tessary::test
