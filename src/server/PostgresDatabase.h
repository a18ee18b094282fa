#pragma once

#include "common/Expected.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <mutex>
#include <vector>

struct pg_conn;
struct pg_result;

namespace tessary::server {

// One connection to the database that the instances of a hosted backend share, guarded by a
// mutex (the statements are few and small). Opening it makes the tables, or brings older ones up
// to date, under a lock the database holds, so instances starting together never migrate twice.
// A connection the server dropped, as in a restart of the database, is opened again by the next
// statement.
class PostgresDatabase {
public:
    // What a statement answered: its rows as text, and how many rows it changed.
    class Rows {
    public:
        int count() const;
        int changed() const;
        QString text(int row, int column) const;
        QByteArray bytes(int row, int column) const;

    private:
        friend class PostgresDatabase;
        struct Free {
            void operator()(pg_result* result) const;
        };
        std::unique_ptr<pg_result, Free> m_result;
    };

    // `url`: "postgresql://user@host/database", or any form libpq takes.
    static Expected<std::shared_ptr<PostgresDatabase>, QString> open(const QString& url);
    ~PostgresDatabase();
    PostgresDatabase(const PostgresDatabase&) = delete;
    PostgresDatabase& operator=(const PostgresDatabase&) = delete;

    QString url() const { return m_url; }
    // One statement with text parameters ($1, $2, …); the server's one-line reason when it failed
    // or the database is out of reach.
    Expected<Rows, QString> query(const char* sql, const std::vector<QByteArray>& parameters = {});

private:
    PostgresDatabase(pg_conn* connection, QString url);
    bool connected(); // the connection is up, opened again when the server dropped it

    pg_conn* m_connection;
    const QString m_url;
    std::mutex m_mutex;
};

// The version of the tables this build reads and writes; a database made by a newer build is
// refused rather than written to in an older shape.
constexpr int postgresSchemaVersion = 2;

} // namespace tessary::server
