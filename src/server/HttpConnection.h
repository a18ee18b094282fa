#pragma once

#include "server/HttpMessage.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>

#include <atomic>

namespace tessary::server {

// What the connections share with the server they belong to.
struct ConnectionContext {
    HttpLimits limits;
    boost::asio::ssl::context* tls = nullptr; // nothing: plain http
    // Hands a request on and returns at once; the reply comes through the second argument.
    std::function<void(HttpRequest, HttpRespond)> dispatch;
    std::atomic<int> answering{0}; // requests handed on whose reply is not yet sent
};

// Serves one accepted connection on its strand, never blocking it: the TLS handshake, then
// requests one after another, each answered when its handler responds. A head over the limits is
// answered 431, a body 413, a client too slow 408; each ends the connection. Nagle's delay is off.
void serveConnection(boost::asio::ip::tcp::socket socket, ConnectionContext& context);

} // namespace tessary::server
