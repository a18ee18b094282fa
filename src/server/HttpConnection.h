#pragma once

#include <openssl/types.h>

#include <chrono>
#include <cstddef>
#include <functional>

namespace httplib {
class Stream;
}

namespace tessary::server {

// What one client may send and how long it may take. Every limit holds before anything beyond
// it is read: the head is counted as it arrives, the body as sent (compressed or chunked) and,
// by the handlers, as read.
struct HttpLimits {
    std::size_t maxHeadBytes = 16 * 1024; // request line and headers together
    int maxHeadLines = 64;
    std::size_t maxBodyBytes = 64 * 1024; // the largest request (an inbox's password) is tiny
    std::chrono::milliseconds requestTime = std::chrono::seconds(10); // a whole request, TLS included
    std::chrono::milliseconds replyTime = std::chrono::seconds(10);   // a whole reply
    std::chrono::milliseconds keepAlive = std::chrono::seconds(5);    // between requests
    int requestsPerConnection = 100;
};

// httplib's handling of one request read from the stream; false ends the connection.
using RequestProcessor =
    std::function<bool(httplib::Stream& stream, bool closeConnection, bool& connectionClosed)>;

// What the connection needs to know of the server it belongs to.
struct ConnectionContext {
    const HttpLimits& limits;
    SSL_CTX* tls = nullptr;              // nothing: plain http
    std::function<bool()> othersWaiting; // connections queued for a worker
    std::function<bool()> stopping;      // the server is shutting down
};

// Serves one accepted connection on the calling worker: the TLS handshake, then requests one
// after another. A head over the limits is answered 431, a body 413, a client too slow 408; each
// ends the connection. A kept-alive connection gives its worker up at once when others wait.
// Each reply leaves in one write, with Nagle's delay switched off. Closes `socket`.
void serveConnection(int socket, const ConnectionContext& context, const RequestProcessor& process);

// Asks that the connection end after the reply being built on this worker: its request's body
// was left unread.
void closeConnectionAfterReply();

} // namespace tessary::server
