#pragma once

#include "common/Expected.h"
#include "server/ImapResponse.h"
#include "server/ServerConfig.h"

#include <QDate>
#include <QSet>
#include <QString>

#include <atomic>
#include <chrono>
#include <memory>

class QSslSocket;

namespace tessary::server {

// Why an IMAP exchange failed, with the words the user is shown.
struct ImapError {
    // timeout: the server went silent; tooMuch: it sent more than ImapLimits allow.
    // busy: too many checks already run at once; tried again in a moment.
    enum class Kind { unreachable, certificate, login, protocol, closed, timeout, tooMuch, busy, stopped };
    Kind kind = Kind::protocol;
    QString message;
};

template <class T>
using ImapResult = Expected<T, ImapError>;

struct MailboxState {
    uint uidValidity = 0;
    uint uidNext = 0;
};

struct FetchedMail {
    uint uid = 0;
    double internalDate = 0; // seconds since 1970 UTC
    QByteArray raw;
};

// One IMAP connection, used from one thread with blocking waits. TLS only, with Qt's certificate
// chain and host-name checks always on; the route may send the connection to another address
// but the certificate must still name the host itself. Every wait ends within a tenth of a second
// of `stop` being set, and a server that breaks ImapLimits is dropped at once.
class ImapSession {
public:
    ImapSession(const ImapSettings& settings, QString host, const std::atomic<bool>* stop = nullptr);
    ~ImapSession();
    ImapSession(const ImapSession&) = delete;
    ImapSession& operator=(const ImapSession&) = delete;

    ImapResult<Done> connect();
    ImapResult<Done> login(const QString& user, const QString& password);
    // AUTHENTICATE XOAUTH2 with an OAuth access token, as Gmail and Outlook require.
    ImapResult<Done> authenticateXOAuth2(const QString& user, const QString& accessToken);
    ImapResult<MailboxState> select(const QByteArray& mailbox);
    ImapResult<QByteArray> trashMailbox(); // the \Trash special-use mailbox, else one named Trash
    ImapResult<QList<uint>> searchSince(QDate day);
    // UID and arrival time of each message of the set, without its text.
    ImapResult<QList<FetchedMail>> arrivals(const QByteArray& uidSet);
    // One message, up to its first ImapLimits::maxLiteral bytes.
    ImapResult<FetchedMail> fetch(uint uid);
    // Waits in IDLE until the server reports new mail (true), `limit` passes or the session is
    // stopped (false). Servers drop an idle client after 30 minutes, and a connection that died
    // without a word is only noticed when a command goes unanswered: callers keep `limit` short.
    ImapResult<bool> idle(std::chrono::milliseconds limit);
    ImapResult<Done> moveTo(uint uid, const QByteArray& mailbox);
    void logout();

    const QString& host() const { return m_host; }

private:
    using Responses = QList<QList<ImapValue>>;
    ImapResult<Responses> command(const QByteArray& text);
    ImapResult<QByteArray> readResponse(std::chrono::steady_clock::time_point deadline);
    bool stopped() const { return m_stop && m_stop->load(); }
    ImapResult<Done> send(const QByteArray& line);
    ImapResult<Done> readCapabilities();
    ImapError failure(ImapError::Kind kind) const;

    ImapSettings m_settings;
    QString m_host;
    const std::atomic<bool>* m_stop;
    std::unique_ptr<QSslSocket> m_socket;
    ImapResponseReader m_reader;
    QSet<QByteArray> m_capabilities;
    int m_tag = 0;
};

// "06-Dec-2025 10:00:00 +0100" as seconds since 1970 UTC.
std::optional<double> parseInternalDate(const QByteArray& text);

} // namespace tessary::server
