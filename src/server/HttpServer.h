#pragma once

#include "common/Expected.h"
#include "server/HttpMessage.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace tessary::server {

// The backend's HTTP(S) listener, event-driven: a few threads serve every connection, and each
// request's handler runs on a small pool of its own, answering when it can. A request waiting
// for its answer (a held poll) holds no thread. The port is its alone (no SO_REUSEPORT), and the
// queue of connections not yet accepted is deep enough for a burst of clients.
class HttpServer {
public:
    static constexpr int ioThreads = 2;      // the machines it runs on have two cores or more
    static constexpr int handlerThreads = 4; // the most it starts

    // https when a certificate and key are given, else plain http.
    static Expected<std::unique_ptr<HttpServer>, QString>
    create(const QString& tlsCert, const QString& tlsKey, const HttpLimits& limits);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Port 0: one the system picks. Fails when another program listens there.
    Expected<uint16_t, QString> bind(const QString& host, uint16_t port);
    void start(HttpHandler handler);
    // Accepts no more, lets the replies under way leave, and ends every thread.
    void stop();

private:
    struct State;
    explicit HttpServer(std::unique_ptr<State> state);
    void accept();

    std::unique_ptr<State> m_state;
};

} // namespace tessary::server
