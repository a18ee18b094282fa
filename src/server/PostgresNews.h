#pragma once

#include "server/MessageCache.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

struct pg_conn;

namespace tessary::server {

// Tells the other instances of a shared database what this one's watchers find, and this one's
// cache what theirs find, so a poll held on any instance hears of mail that any instance took.
// LISTEN/NOTIFY on a connection and a thread of its own; a notice carries a message's id, inbox
// and time, a message moved to the Trash, or an inbox's state, never what a message says. Inbox states are
// kept in the table "inbox_states" too, read on every (re)connection, so an instance learns those settled
// before it listened. A notice that cannot be sent while the database is away is kept (the newest few
// thousand) until it is back.
class PostgresNews {
public:
    // `listening`: called each time the news connection listens again, to learn what was missed.
    PostgresNews(QString url, QString instance, MessageCache& cache, std::function<void()> listening = {});
    ~PostgresNews(); // stops
    PostgresNews(const PostgresNews&) = delete;
    PostgresNews& operator=(const PostgresNews&) = delete;

    // Listens (when the database answers; else from its thread as soon as it does), and has the
    // cache tell it what this instance's watchers find.
    void start();
    void stop();

private:
    struct Notice {
        QByteArray payload;
        QString accountId; // with a state, kept in the table too
        InboxState state;
        bool isState = false;
    };
    QByteArray payload(const char* kind, const QJsonValue& value) const;
    void enqueue(Notice notice);
    void run();
    bool connect();
    bool send(const Notice& notice);
    void received(const QByteArray& payload);
    void readStates();
    void disconnect();

    const QString m_url;
    const QString m_instance;
    MessageCache& m_cache;
    const std::function<void()> m_listening;
    pg_conn* m_connection = nullptr; // the thread's alone
    int m_wake = -1;                 // an eventfd: a notice is queued, or a stop
    bool m_outage = false;           // said once that the database is out of reach
    std::atomic<bool> m_stopping{false};
    std::mutex m_mutex;
    std::deque<Notice> m_outbox;
    std::thread m_thread;
};

} // namespace tessary::server
