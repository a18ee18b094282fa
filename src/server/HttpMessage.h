#pragma once

#include <QByteArray>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tessary::server {

// What one client may send and how long it may take. Every limit holds before anything beyond
// it is read: the head is counted as it arrives, the body as sent (compressed or chunked) and
// once decompressed.
struct HttpLimits {
    std::size_t maxHeadBytes = 16 * 1024; // request line and headers together
    int maxHeadLines = 64;
    std::size_t maxBodyBytes = 64 * 1024; // the largest request (an inbox's password) is tiny
    std::chrono::milliseconds requestTime = std::chrono::seconds(10); // a whole request, TLS included
    std::chrono::milliseconds replyTime = std::chrono::seconds(10);   // a whole reply
    std::chrono::milliseconds keepAlive = std::chrono::seconds(5);    // between requests
    int requestsPerConnection = 100;
};

// A request as the API sees it: read whole, within the limits, its body decompressed.
struct HttpRequest {
    std::string method;                                     // "GET", "POST"
    std::string path;                                       // without the query
    std::vector<std::pair<std::string, std::string>> query; // decoded, in order
    std::vector<std::pair<std::string, std::string>> headers;
    QByteArray body;
    std::string peer; // the address the connection came from

    std::string header(std::string_view name) const; // "" when absent; names match in any case
    std::string param(std::string_view name) const;  // "" when absent
};

struct HttpReply {
    int status = 200;
    std::string contentType = "application/json";
    std::vector<std::pair<std::string, std::string>> headers;
    QByteArray body;
};

// Sends the reply; callable once, from any thread.
using HttpRespond = std::function<void(HttpReply)>;
// Answers a request now or later, on a thread where blocking briefly is allowed.
using HttpHandler = std::function<void(const HttpRequest&, HttpRespond)>;

// Fills the request's path and query from a request target ("/a/b?x=1&y=%20").
void splitTarget(std::string_view target, HttpRequest& request);
// The body as sent with `encoding` ("", "identity", "gzip", "deflate") made plain; the status to
// refuse with when it would grow past `limit` (413) or its encoding is unknown or broken (415, 400).
std::variant<QByteArray, int> decodedBody(const std::string& encoding, QByteArray body, std::size_t limit);

} // namespace tessary::server
