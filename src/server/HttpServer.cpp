#include "server/HttpServer.h"

#include <httplib.h>
#include <openssl/ssl.h>

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <type_traits>

#include <sys/socket.h>

namespace tessary::server {

namespace {

// Clients that cannot be accepted at once wait in the kernel's queue instead of being refused;
// httplib's own queue holds five.
constexpr int listenQueue = 1024;

// A fixed set of workers taking accepted connections in turn, counting those still waiting so a
// kept-alive connection can make room.
class WorkerPool final : public httplib::TaskQueue {
public:
    WorkerPool(int workers, std::atomic<int>& waiting)
        : m_waiting(waiting)
    {
        for (int i = 0; i < workers; ++i)
            m_threads.emplace_back([this] { work(); });
    }
    ~WorkerPool() override { shutdown(); }

    void enqueue(std::function<void()> job) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back(std::move(job));
            ++m_waiting;
        }
        m_wake.notify_one();
    }

    void shutdown() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_shutDown = true;
        }
        m_wake.notify_all();
        for (std::thread& thread : m_threads)
            if (thread.joinable())
                thread.join();
    }

private:
    void work()
    {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_shutDown || !m_jobs.empty(); });
                if (m_jobs.empty())
                    return;
                job = std::move(m_jobs.front());
                m_jobs.pop_front();
                --m_waiting;
            }
            job();
        }
    }

    std::atomic<int>& m_waiting;
    std::vector<std::thread> m_threads;
    std::deque<std::function<void()>> m_jobs;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_shutDown = false;
};

// httplib's server (plain or TLS) with its connection handling replaced by serveConnection.
template <class Base>
class Bounded final : public Base {
public:
    template <class... Args>
    Bounded(const HttpLimits& limits, std::atomic<int>& waiting, Args&&... args)
        : Base(std::forward<Args>(args)...)
        , m_waiting(waiting)
    {
        SSL_CTX* tls = nullptr;
        if constexpr (std::is_same_v<Base, httplib::SSLServer>)
            tls = this->is_valid() ? this->ssl_context() : nullptr;
        if (tls)
            SSL_CTX_set_min_proto_version(tls, TLS1_2_VERSION);
        m_context = std::make_unique<ConnectionContext>(
            ConnectionContext{limits, tls, [this] { return m_waiting.load() > 0; },
                              [this] { return this->svr_sock_ == INVALID_SOCKET; }});
    }

private:
    bool process_and_close_socket(socket_t socket) override
    {
        serveConnection(socket, *m_context, [this](httplib::Stream& stream, bool close, bool& closed) {
            return this->process_request(stream, close, closed, nullptr);
        });
        return true;
    }

    std::atomic<int>& m_waiting;
    std::unique_ptr<ConnectionContext> m_context;
};

} // namespace

Expected<std::unique_ptr<HttpServer>, QString>
HttpServer::create(const QString& tlsCert, const QString& tlsKey, const HttpLimits& limits, int workers)
{
    std::unique_ptr<HttpServer> server(new HttpServer);
    server->m_limits = limits;
    server->m_workers = workers;
    if (tlsCert.isEmpty() && tlsKey.isEmpty())
        server->m_server = std::make_unique<Bounded<httplib::Server>>(server->m_limits, server->m_waiting);
    else
        server->m_server = std::make_unique<Bounded<httplib::SSLServer>>(server->m_limits, server->m_waiting,
                                                                         tlsCert.toLocal8Bit().constData(),
                                                                         tlsKey.toLocal8Bit().constData());
    if (!server->m_server->is_valid())
        return Unexpected{
            QStringLiteral("Can't use the TLS certificate \"%1\" with the key \"%2\"").arg(tlsCert, tlsKey)};
    server->m_server->new_task_queue = [raw = server.get()] {
        return new WorkerPool(raw->m_workers, raw->m_waiting);
    };
    server->m_server->set_payload_max_length(limits.maxBodyBytes);
    // Only SO_REUSEADDR, so a restart may take the port while old connections linger; SO_REUSEPORT,
    // httplib's choice, would let a second backend serve the same port beside this one.
    server->m_server->set_socket_options([raw = server.get()](socket_t socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
        raw->m_listening = socket;
    });
    return server;
}

HttpServer::~HttpServer()
{
    stop();
}

Expected<uint16_t, QString> HttpServer::bind(const QString& host, uint16_t port)
{
    const std::string address = host.toStdString();
    errno = 0;
    const int bound = port == 0 ? m_server->bind_to_any_port(address)
                                : (m_server->bind_to_port(address, port) ? int(port) : -1);
    if (bound <= 0) {
        const QString where = QStringLiteral("%1:%2").arg(host).arg(port);
        if (errno == EADDRINUSE)
            return Unexpected{
                QStringLiteral(
                    "Can't listen on %1: another program (another tessary-backend?) is serving there")
                    .arg(where)};
        return Unexpected{QStringLiteral("Can't listen on %1").arg(where)};
    }
    ::listen(m_listening, listenQueue);
    return uint16_t(bound);
}

void HttpServer::start()
{
    m_listener = std::thread([server = m_server.get()] { server->listen_after_bind(); });
}

void HttpServer::stop()
{
    // httplib's stop does nothing until its accept loop has begun.
    for (int wait = 0; m_listener.joinable() && !m_server->is_running() && wait < 1000; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (m_server)
        m_server->stop();
    if (m_listener.joinable())
        m_listener.join();
}

} // namespace tessary::server
