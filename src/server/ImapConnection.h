#pragma once

#include "common/Expected.h"
#include "server/ImapResponse.h"
#include "server/ServerConfig.h"

#include <QCoroTask>
#include <QDate>
#include <QHostAddress>
#include <QSet>
#include <QString>

#include <chrono>
#include <memory>

class QSslSocket;

namespace tessary::server {

class WakeFlag;

// Why an IMAP exchange failed, with the words the user is shown.
struct ImapError {
    // timeout: the server went silent; tooMuch: it sent more than ImapLimits allow.
    // busy: too many checks already run at once; tried again in a moment. privateAddress: the host
    // is on this machine or a private network, which this backend may not reach.
    enum class Kind {
        unreachable,
        certificate,
        login,
        protocol,
        closed,
        timeout,
        tooMuch,
        busy,
        stopped,
        privateAddress
    };
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

// One IMAP connection, driven by coroutines on the thread that made it: every wait for the server
// hands the thread back to its event loop, so one thread serves many connections. TLS only, with
// Qt's certificate chain and host-name checks always on; the route may send the connection to
// another address but the certificate must still name the host itself. A raised `stop` ends the
// wait under way at once, and a server that breaks ImapLimits is dropped at once.
class ImapConnection {
public:
    ImapConnection(const ImapSettings& settings, QString host, const WakeFlag* stop = nullptr);
    ~ImapConnection();
    ImapConnection(const ImapConnection&) = delete;
    ImapConnection& operator=(const ImapConnection&) = delete;

    QCoro::Task<ImapResult<Done>> connect();
    QCoro::Task<ImapResult<Done>> login(QString user, QString password);
    // AUTHENTICATE XOAUTH2 with an OAuth access token, as Gmail and Outlook require.
    QCoro::Task<ImapResult<Done>> authenticateXOAuth2(QString user, QString accessToken);
    QCoro::Task<ImapResult<MailboxState>> select(QByteArray mailbox);
    QCoro::Task<ImapResult<QByteArray>>
    trashMailbox(); // the \Trash special-use mailbox, else one named Trash
    QCoro::Task<ImapResult<QList<uint>>> searchSince(QDate day);
    // UID and arrival time of each message of the set, without its text.
    QCoro::Task<ImapResult<QList<FetchedMail>>> arrivals(QByteArray uidSet);
    // One message, up to its first ImapLimits::maxLiteral bytes.
    QCoro::Task<ImapResult<FetchedMail>> fetch(uint uid);
    // Waits in IDLE until the server reports new mail (true), `limit` passes or the connection is
    // stopped (false). Servers drop an idle client after 30 minutes, and a connection that died
    // without a word is only noticed when a command goes unanswered: callers keep `limit` short.
    QCoro::Task<ImapResult<bool>> idle(std::chrono::milliseconds limit);
    QCoro::Task<ImapResult<Done>> moveTo(uint uid, QByteArray mailbox);
    QCoro::Task<ImapResult<Done>> logout();

    const QString& host() const { return m_host; }
    const WakeFlag* stopFlag() const { return m_stop; }

private:
    using Responses = QList<QList<ImapValue>>;
    QCoro::Task<ImapResult<Responses>> command(QByteArray text);
    QCoro::Task<ImapResult<QByteArray>> readResponse(std::chrono::steady_clock::time_point deadline);
    // Connects to one address and completes the TLS handshake with the host's name.
    QCoro::Task<ImapResult<Done>> handshake(QHostAddress address, uint16_t port,
                                            std::chrono::steady_clock::time_point deadline);
    bool stopped() const;
    ImapResult<Done> send(const QByteArray& line);
    QCoro::Task<ImapResult<Done>> readCapabilities();
    ImapError failure(ImapError::Kind kind) const;

    ImapSettings m_settings;
    QString m_host;
    const WakeFlag* m_stop;
    std::unique_ptr<QSslSocket> m_socket;
    ImapResponseReader m_reader;
    QSet<QByteArray> m_capabilities;
    int m_tag = 0;
};

} // namespace tessary::server
