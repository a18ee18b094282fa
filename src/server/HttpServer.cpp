#include "server/HttpServer.h"

#include "server/BlockingPool.h"
#include "server/HttpConnection.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <openssl/ssl.h>

#include <optional>
#include <thread>
#include <vector>

namespace tessary::server {

namespace {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using boost::system::error_code;

// Clients that cannot be accepted at once wait in the kernel's queue instead of being refused.
constexpr int listenQueue = 1024;
// Requests waiting for a handler thread; beyond them a client is asked to come back.
constexpr std::size_t maxQueuedRequests = 16384;
// How long a stop waits for the replies already under way (held polls answered as it stops).
constexpr auto stopGrace = std::chrono::seconds(2);

HttpReply busyReply()
{
    return HttpReply{
        503,
        "application/json",
        {{"Retry-After", "5"}},
        QJsonDocument(
            QJsonObject{{"error", QStringLiteral("The backend is busy; please try again in a moment")}})
            .toJson(QJsonDocument::Compact)};
}

} // namespace

struct HttpServer::State {
    asio::io_context io{ioThreads};
    std::optional<asio::ssl::context> tls;
    // The acceptor is used from every serving thread in turn, one at a time.
    asio::strand<asio::io_context::executor_type> listening = asio::make_strand(io);
    tcp::acceptor acceptor{listening};
    asio::steady_timer acceptPause{listening};
    ConnectionContext context;
    std::unique_ptr<BlockingPool> handlers;
    std::vector<std::thread> threads;
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> running;
};

HttpServer::HttpServer(std::unique_ptr<State> state)
    : m_state(std::move(state))
{
}

Expected<std::unique_ptr<HttpServer>, QString>
HttpServer::create(const QString& tlsCert, const QString& tlsKey, const HttpLimits& limits)
{
    auto state = std::make_unique<State>();
    state->context.limits = limits;
    if (!tlsCert.isEmpty() || !tlsKey.isEmpty()) {
        auto& tls = state->tls.emplace(asio::ssl::context::tls_server);
        SSL_CTX_set_min_proto_version(tls.native_handle(), TLS1_2_VERSION);
        error_code certificate;
        error_code key;
        tls.use_certificate_chain_file(tlsCert.toStdString(), certificate);
        tls.use_private_key_file(tlsKey.toStdString(), asio::ssl::context::pem, key);
        if (certificate || key || SSL_CTX_check_private_key(tls.native_handle()) != 1)
            return Unexpected{QStringLiteral("Can't use the TLS certificate \"%1\" with the key \"%2\"")
                                  .arg(tlsCert, tlsKey)};
        state->context.tls = &tls;
    }
    return std::unique_ptr<HttpServer>(new HttpServer(std::move(state)));
}

HttpServer::~HttpServer()
{
    stop();
}

Expected<uint16_t, QString> HttpServer::bind(const QString& host, uint16_t port)
{
    const QString where = QStringLiteral("%1:%2").arg(host).arg(port);
    error_code failed;
    tcp::resolver resolver(m_state->io);
    const auto found = resolver.resolve(host.toStdString(), std::to_string(port),
                                        tcp::resolver::passive | tcp::resolver::numeric_service, failed);
    if (failed || found.empty())
        return Unexpected{QStringLiteral("Can't listen on %1").arg(where)};
    const tcp::endpoint endpoint = found.begin()->endpoint();
    tcp::acceptor& acceptor = m_state->acceptor;
    acceptor.open(endpoint.protocol(), failed);
    // Only SO_REUSEADDR, so a restart may take the port while old connections linger; SO_REUSEPORT
    // would let a second backend serve the same port beside this one.
    if (!failed)
        acceptor.set_option(tcp::acceptor::reuse_address(true), failed);
    if (!failed)
        acceptor.bind(endpoint, failed);
    if (failed == asio::error::address_in_use)
        return Unexpected{
            QStringLiteral("Can't listen on %1: another program (another tessary-backend?) is serving there")
                .arg(where)};
    if (!failed)
        acceptor.listen(listenQueue, failed);
    if (failed)
        return Unexpected{QStringLiteral("Can't listen on %1").arg(where)};
    return acceptor.local_endpoint().port();
}

void HttpServer::start(HttpHandler handler)
{
    State& state = *m_state;
    state.handlers = std::make_unique<BlockingPool>(handlerThreads, maxQueuedRequests);
    state.context.dispatch = [&state, handler = std::move(handler)](HttpRequest request,
                                                                    HttpRespond respond) {
        auto job = [handler, request = std::move(request), respond]() { handler(request, respond); };
        if (!state.handlers->submit(std::move(job)))
            respond(busyReply());
    };
    state.running.emplace(state.io.get_executor());
    accept();
    for (int i = 0; i < ioThreads; ++i)
        state.threads.emplace_back([&state] { state.io.run(); });
}

void HttpServer::accept()
{
    State& state = *m_state;
    state.acceptor.async_accept(asio::make_strand(state.io),
                                [this, &state](error_code ec, tcp::socket socket) {
                                    if (ec == asio::error::operation_aborted || !state.acceptor.is_open())
                                        return;
                                    if (!ec) {
                                        serveConnection(std::move(socket), state.context);
                                        return accept();
                                    }
                                    // Out of file descriptors, most likely: try again in a moment rather than
                                    // spin.
                                    state.acceptPause.expires_after(std::chrono::milliseconds(50));
                                    state.acceptPause.async_wait([this](error_code) { accept(); });
                                });
}

void HttpServer::stop()
{
    State& state = *m_state;
    if (state.threads.empty())
        return;
    asio::post(state.listening, [&state] {
        error_code ignored;
        state.acceptor.close(ignored);
        state.acceptPause.cancel();
    });
    if (state.handlers)
        state.handlers->stop();
    const auto until = std::chrono::steady_clock::now() + stopGrace;
    while (state.context.answering > 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    state.running.reset();
    state.io.stop();
    for (std::thread& thread : state.threads)
        thread.join();
    state.threads.clear();
}

} // namespace tessary::server
