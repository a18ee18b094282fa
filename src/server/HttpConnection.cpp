#include "server/HttpConnection.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <httplib.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tessary::server {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds waitSlice(100); // how soon a waiting worker notices the server stopping
constexpr std::size_t readChunk = 16 * 1024;

thread_local bool closeRequested = false;

QByteArray refusal(int status, const char* reason, const char* message)
{
    const QByteArray body =
        QJsonDocument(QJsonObject{{"error", QString::fromUtf8(message)}}).toJson(QJsonDocument::Compact);
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
           "\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

void addressOf(int socket, bool peer, std::string& ip, int& port)
{
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    const int got = peer ? getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length)
                         : getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    char text[INET6_ADDRSTRLEN] = {};
    if (got == 0 && address.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
        inet_ntop(AF_INET, &v4->sin_addr, text, sizeof(text));
        port = ntohs(v4->sin_port);
    } else if (got == 0 && address.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
        inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof(text));
        port = ntohs(v6->sin6_port);
    }
    ip = text;
}

// One client connection as httplib's stream: reads are counted against the limits as httplib
// takes them, writes gather until the reply is complete.
class Connection final : public httplib::Stream {
public:
    Connection(int socket, const ConnectionContext& context)
        : m_socket(socket)
        , m_context(context)
    {
    }
    ~Connection() override
    {
        if (m_ssl) {
            if (SSL_is_init_finished(m_ssl) && !m_failed)
                SSL_shutdown(m_ssl);
            ERR_clear_error();
            SSL_free(m_ssl);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool handshake()
    {
        if (!m_context.tls)
            return true;
        m_ssl = SSL_new(m_context.tls);
        if (!m_ssl || SSL_set_fd(m_ssl, m_socket) != 1)
            return false;
        SSL_set_mode(m_ssl, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        const auto deadline = Clock::now() + m_context.limits.requestTime;
        for (;;) {
            ERR_clear_error(); // what SSL_get_error reports must be this call's own
            const int accepted = SSL_accept(m_ssl);
            if (accepted == 1)
                return true;
            const short events = wanted(accepted);
            if (!events || !wait(events, deadline))
                return false;
        }
    }

    // Waits until `until` for the first byte of another request.
    bool awaitRequest(Clock::time_point until)
    {
        return m_start < m_end || (m_ssl && SSL_pending(m_ssl) > 0) || wait(POLLIN, until);
    }

    void beginRequest()
    {
        m_deadline = Clock::now() + m_context.limits.requestTime;
        m_inHead = true;
        m_headBytes = 0;
        m_headLines = 0;
        m_lineLength = 0;
        m_bodyBytes = 0;
    }

    bool failed() const { return m_failed; }

    // Sends what the reply gathered, in one go where the socket takes it.
    bool flush()
    {
        const auto deadline = Clock::now() + m_context.limits.replyTime;
        qsizetype sent = 0;
        while (sent < m_out.size()) {
            const char* data = m_out.constData() + sent;
            const std::size_t left = std::size_t(m_out.size() - sent);
            ERR_clear_error();
            const ssize_t written = m_ssl ? SSL_write(m_ssl, data, int(std::min<std::size_t>(left, 1 << 30)))
                                          : ::send(m_socket, data, left, MSG_NOSIGNAL);
            if (written > 0) {
                sent += written;
                continue;
            }
            const short events =
                m_ssl ? wanted(int(written)) : (errno == EAGAIN || errno == EINTR ? POLLOUT : 0);
            if (!events || !wait(events, deadline)) {
                m_failed = true;
                return false;
            }
        }
        m_out.clear();
        return true;
    }

    // httplib::Stream
    bool is_readable() const override { return m_start < m_end || (m_ssl && SSL_pending(m_ssl) > 0); }
    bool is_writable() const override { return !m_failed; }

    ssize_t read(char* into, std::size_t size) override
    {
        if (m_failed || (m_start == m_end && !fill()))
            return -1;
        const std::size_t taken = count(std::min(size, m_end - m_start));
        if (m_failed)
            return -1;
        std::memcpy(into, m_in + m_start, taken);
        m_start += taken;
        return ssize_t(taken);
    }

    ssize_t write(const char* data, std::size_t size) override
    {
        if (m_failed)
            return -1;
        m_out.append(data, qsizetype(size));
        return ssize_t(size);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override
    {
        addressOf(m_socket, true, ip, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override
    {
        addressOf(m_socket, false, ip, port);
    }
    socket_t socket() const override { return m_socket; }

private:
    // Of the bytes buffered, how many httplib may take now: the head up to its blank line, then
    // the body; past a limit, the client hears why and the connection is over.
    std::size_t count(std::size_t available)
    {
        const HttpLimits& limits = m_context.limits;
        if (!m_inHead) {
            if ((m_bodyBytes += available) > limits.maxBodyBytes)
                refuse(413, "Content Too Large", "The request was too large");
            return available;
        }
        for (std::size_t i = 0; i < available; ++i) {
            const char c = m_in[m_start + i];
            if (++m_headBytes > limits.maxHeadBytes) {
                refuse(431, "Request Header Fields Too Large", "The request's headers were too large");
                return 0;
            }
            if (c != '\n') {
                m_lineLength += c == '\r' ? 0 : 1;
                continue;
            }
            if (++m_headLines > limits.maxHeadLines) {
                refuse(431, "Request Header Fields Too Large", "The request's headers were too large");
                return 0;
            }
            const bool blank = m_lineLength == 0 && m_headLines > 1;
            m_lineLength = 0;
            if (blank) {
                m_inHead = false;
                return i + 1;
            }
        }
        return available;
    }

    bool fill()
    {
        if (!m_out.isEmpty() && !flush()) // an interim "100 Continue" must reach the client
            return false;
        for (;;) {
            ERR_clear_error();
            const ssize_t got =
                m_ssl ? SSL_read(m_ssl, m_in, int(readChunk)) : ::recv(m_socket, m_in, readChunk, 0);
            if (got > 0) {
                m_start = 0;
                m_end = std::size_t(got);
                return true;
            }
            const short events =
                m_ssl ? wanted(int(got)) : (got < 0 && (errno == EAGAIN || errno == EINTR) ? POLLIN : 0);
            if (events && wait(events, m_deadline))
                continue;
            if (events && Clock::now() >= m_deadline && (m_headBytes > 0 || !m_inHead))
                refuse(408, "Request Timeout", "The request took too long to arrive");
            m_failed = true;
            return false;
        }
    }

    // What a failed TLS call waits for, or nothing when the connection is over.
    short wanted(int result) const
    {
        switch (SSL_get_error(m_ssl, result)) {
        case SSL_ERROR_WANT_READ:
            return POLLIN;
        case SSL_ERROR_WANT_WRITE:
            return POLLOUT;
        default:
            return 0;
        }
    }

    bool wait(short events, Clock::time_point deadline) const
    {
        for (;;) {
            if (m_context.stopping())
                return false;
            const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
            pollfd descriptor{m_socket, events, 0};
            const int ready =
                ::poll(&descriptor, 1, int(std::clamp(left, milliseconds(0), waitSlice).count()));
            if (ready > 0)
                return true;
            if ((ready < 0 && errno != EINTR) || left <= milliseconds(0))
                return false;
        }
    }

    void refuse(int status, const char* reason, const char* message)
    {
        m_out = refusal(status, reason, message);
        flush();
        m_failed = true;
    }

    const int m_socket;
    const ConnectionContext& m_context;
    SSL* m_ssl = nullptr;
    char m_in[readChunk];
    std::size_t m_start = 0;
    std::size_t m_end = 0;
    QByteArray m_out;
    Clock::time_point m_deadline = Clock::now();
    bool m_failed = false;
    bool m_inHead = true;
    std::size_t m_headBytes = 0;
    int m_headLines = 0;
    int m_lineLength = 0;
    std::size_t m_bodyBytes = 0;
};

// Closing with unread bytes pending resets the connection, which can destroy the reply before
// the client reads it: stop sending, then take what is still coming for a moment.
void closeLeavingTheReply(int socket)
{
    ::shutdown(socket, SHUT_WR);
    const auto until = Clock::now() + milliseconds(500);
    char sink[readChunk];
    std::size_t drained = 0;
    while (drained < 1024 * 1024 && Clock::now() < until) {
        pollfd descriptor{socket, POLLIN, 0};
        if (::poll(&descriptor, 1, 100) <= 0)
            continue;
        const ssize_t got = ::recv(socket, sink, sizeof(sink), 0);
        if (got <= 0 && !(got < 0 && (errno == EAGAIN || errno == EINTR)))
            break;
        drained += std::size_t(std::max<ssize_t>(got, 0));
    }
    ::close(socket);
}

} // namespace

void closeConnectionAfterReply()
{
    closeRequested = true;
}

void serveConnection(int socket, const ConnectionContext& context, const RequestProcessor& process)
{
    const int yes = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof(yes));
    fcntl(socket, F_SETFL, fcntl(socket, F_GETFL) | O_NONBLOCK);
    bool leftUnread = false;
    {
        Connection connection(socket, context);
        const HttpLimits& limits = context.limits;
        const bool secured = connection.handshake();
        for (int served = 0; secured && served < limits.requestsPerConnection; ++served) {
            const milliseconds idle = served == 0
                                          ? limits.requestTime
                                          : (context.othersWaiting() ? milliseconds(0) : limits.keepAlive);
            if (!connection.awaitRequest(Clock::now() + idle))
                break;
            connection.beginRequest();
            closeRequested = false;
            bool clientCloses = false;
            const bool last = served + 1 == limits.requestsPerConnection;
            const bool answered = process(connection, last, clientCloses);
            leftUnread = closeRequested || connection.failed();
            if (!connection.flush() || !answered || clientCloses || leftUnread)
                break;
        }
    }
    if (leftUnread)
        closeLeavingTheReply(socket);
    else
        ::close(socket);
}

} // namespace tessary::server
