#pragma once

#include "server/ImapConnection.h"
#include "server/Wakeup.h"

#include <QEventLoop>

#include <atomic>
#include <optional>

namespace tessary::server {

// An ImapConnection for callers that wait for each answer: the checks run from request threads
// (a new inbox's password, moving a message to the Trash). Each call runs the connection's
// coroutine on the calling thread until it ends. Every wait ends within a tenth of a second of
// `stop` being set.
class ImapSession {
public:
    ImapSession(const ImapSettings& settings, QString host, const std::atomic<bool>* stop = nullptr);
    ImapSession(const ImapSession&) = delete;
    ImapSession& operator=(const ImapSession&) = delete;

    ImapResult<Done> connect() { return wait(m_connection.connect()); }
    ImapResult<Done> login(const QString& user, const QString& password)
    {
        return wait(m_connection.login(user, password));
    }
    ImapResult<Done> authenticateXOAuth2(const QString& user, const QString& accessToken)
    {
        return wait(m_connection.authenticateXOAuth2(user, accessToken));
    }
    ImapResult<MailboxState> select(const QByteArray& mailbox) { return wait(m_connection.select(mailbox)); }
    ImapResult<QByteArray> trashMailbox() { return wait(m_connection.trashMailbox()); }
    ImapResult<QList<uint>> searchSince(QDate day) { return wait(m_connection.searchSince(day)); }
    ImapResult<QList<FetchedMail>> arrivals(const QByteArray& uidSet)
    {
        return wait(m_connection.arrivals(uidSet));
    }
    ImapResult<FetchedMail> fetch(uint uid) { return wait(m_connection.fetch(uid)); }
    ImapResult<bool> idle(std::chrono::milliseconds limit) { return wait(m_connection.idle(limit)); }
    ImapResult<Done> moveTo(uint uid, const QByteArray& mailbox)
    {
        return wait(m_connection.moveTo(uid, mailbox));
    }
    void logout();

    const QString& host() const { return m_connection.host(); }
    ImapConnection& connection() { return m_connection; }

    // Runs `task` (of this session's connection) to its end on the calling thread.
    template <class T>
    T wait(QCoro::Task<T> task);

private:
    void run(); // the loop, until the task ends

    // Made first: it gives a thread not started by Qt its event dispatcher, before any wait needs one.
    QEventLoop m_loop;
    const std::atomic<bool>* m_stop;
    WakeFlag m_stopFlag;
    ImapConnection m_connection;
};

template <class T>
T ImapSession::wait(QCoro::Task<T> task)
{
    std::optional<T> result;
    const auto waiting = [](QCoro::Task<T> running, std::optional<T>& ended,
                            QEventLoop& loop) -> QCoro::Task<> {
        ended.emplace(co_await std::move(running));
        loop.quit();
    }(std::move(task), result, m_loop);
    if (!result) // else it ended without waiting, before the loop could be told
        run();
    return std::move(*result);
}

} // namespace tessary::server
