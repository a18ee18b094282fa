#pragma once

#include "common/Expected.h"
#include "server/HttpConnection.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

namespace httplib {
class Server;
}

namespace tessary::server {

// The backend's HTTP(S) listener: httplib's routing and handlers, each connection served by
// serveConnection on a fixed pool of workers. The port is its alone (no SO_REUSEPORT), and the
// queue of connections not yet accepted is deep enough for a burst of clients.
class HttpServer {
public:
    // https when a certificate and key are given, else plain http.
    static Expected<std::unique_ptr<HttpServer>, QString>
    create(const QString& tlsCert, const QString& tlsKey, const HttpLimits& limits, int workers);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    httplib::Server& routes() { return *m_server; }
    // Port 0: one the system picks. Fails when another program listens there.
    Expected<uint16_t, QString> bind(const QString& host, uint16_t port);
    void start(); // serves on a thread of its own
    void stop();  // answers no more and ends every worker

private:
    HttpServer() = default;

    HttpLimits m_limits;
    std::atomic<int> m_waiting{0}; // connections accepted and not yet taken by a worker
    std::unique_ptr<httplib::Server> m_server;
    int m_workers = 0;
    int m_listening = -1;
    std::thread m_listener;
};

} // namespace tessary::server
