#include "server/HttpConnection.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <boost/asio/post.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/stream_traits.hpp>
#include <boost/beast/core/string.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>

#include <memory>
#include <optional>
#include <type_traits>

namespace tessary::server {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using boost::system::error_code;
using std::chrono::milliseconds;

constexpr std::size_t drainLimit = 1024 * 1024;
constexpr milliseconds drainTime(500);

HttpReply refusal(int status, const char* message)
{
    return HttpReply{
        status,
        "application/json",
        {},
        QJsonDocument(QJsonObject{{"error", QString::fromUtf8(message)}}).toJson(QJsonDocument::Compact)};
}

template <class Stream>
class Connection final : public std::enable_shared_from_this<Connection<Stream>> {
public:
    static constexpr bool secured = !std::is_same_v<Stream, tcp::socket>;

    Connection(tcp::socket socket, ConnectionContext& context)
        : m_stream(makeStream(std::move(socket), context))
        , m_context(context)
        , m_timer(m_stream.get_executor())
    {
    }

    void start()
    {
        error_code ignored;
        lowest().set_option(tcp::no_delay(true), ignored);
        m_peer = lowest().remote_endpoint(ignored).address().to_string();
        if constexpr (secured) {
            arm(m_context.limits.requestTime);
            m_stream.async_handshake(asio::ssl::stream_base::server,
                                     [self = this->shared_from_this()](error_code ec) {
                                         if (ec)
                                             return self->close();
                                         self->readRequest();
                                     });
        } else {
            readRequest();
        }
    }

private:
    static Stream makeStream(tcp::socket socket, ConnectionContext& context)
    {
        if constexpr (secured)
            return Stream(std::move(socket), *context.tls);
        else
            return Stream(std::move(socket));
    }

    tcp::socket& lowest() { return beast::get_lowest_layer(m_stream); }

    // Every wait on the client has a deadline; when it passes the wait ends with the socket's
    // operations cancelled and m_timedOut set.
    void arm(milliseconds within)
    {
        m_timedOut = false;
        const quint64 generation = ++m_generation;
        m_timer.expires_after(within);
        m_timer.async_wait([self = this->shared_from_this(), generation](error_code ec) {
            if (ec || generation != self->m_generation)
                return;
            self->m_timedOut = true;
            error_code ignored;
            self->lowest().cancel(ignored);
        });
    }
    void disarm()
    {
        ++m_generation;
        m_timer.cancel();
    }

    void readRequest()
    {
        m_parser.emplace();
        m_parser->header_limit(std::uint32_t(m_context.limits.maxHeadBytes));
        m_parser->body_limit(m_context.limits.maxBodyBytes);
        if (m_served == 0 || m_buffer.size() > 0)
            return readHead();
        // Between requests the client has the keep-alive time to begin another, then the
        // request's own time to send it whole.
        arm(m_context.limits.keepAlive);
        m_stream.async_read_some(m_buffer.prepare(1024),
                                 [self = this->shared_from_this()](error_code ec, std::size_t got) {
                                     if (ec)
                                         return self->close();
                                     self->m_buffer.commit(got);
                                     self->readHead();
                                 });
    }

    void readHead()
    {
        arm(m_context.limits.requestTime);
        http::async_read_header(m_stream, m_buffer, *m_parser,
                                [self = this->shared_from_this()](error_code ec, std::size_t) {
                                    if (ec)
                                        return self->readFailed(ec);
                                    self->headRead();
                                });
    }

    void headRead()
    {
        const auto& head = m_parser->get();
        // The request line and the blank line that ends the head count as lines too.
        if (std::distance(head.begin(), head.end()) + 2 > m_context.limits.maxHeadLines)
            return refuse(431, "The request's headers were too large");
        // A body in a coding other than chunked has no length to tell where it ends (RFC 9112 6.3).
        if (head.count(http::field::transfer_encoding) > 0 && !m_parser->chunked())
            return refuse(400, "The request could not be read");
        if (beast::iequals(head[http::field::expect], "100-continue") && !m_parser->is_done()) {
            static const char interim[] = "HTTP/1.1 100 Continue\r\n\r\n";
            return asio::async_write(m_stream, asio::buffer(interim, sizeof(interim) - 1),
                                     [self = this->shared_from_this()](error_code ec, std::size_t) {
                                         if (ec)
                                             return self->close();
                                         self->readBody();
                                     });
        }
        readBody();
    }

    void readBody()
    {
        http::async_read(m_stream, m_buffer, *m_parser,
                         [self = this->shared_from_this()](error_code ec, std::size_t) {
                             if (ec)
                                 return self->readFailed(ec);
                             self->handle();
                         });
    }

    void readFailed(error_code ec)
    {
        if (ec == http::error::header_limit)
            return refuse(431, "The request's headers were too large");
        if (ec == http::error::body_limit)
            return refuse(413, "The request was too large");
        // A client that never began a request is only let go; one that began too slowly hears why.
        if (m_timedOut && (m_buffer.size() > 0 || m_parser->got_some()))
            return refuse(408, "The request took too long to arrive");
        // Any other request that breaks HTTP's rules hears so; one cut short by its client is let go.
        if (ec.category() == make_error_code(http::error::bad_method).category() &&
            ec != http::error::end_of_stream && ec != http::error::partial_message)
            return refuse(400, "The request could not be read");
        close();
    }

    void handle()
    {
        disarm();
        auto& message = m_parser->get();
        HttpRequest request;
        request.peer = m_peer;
        request.method = std::string(message.method_string());
        splitTarget(std::string_view(message.target().data(), message.target().size()), request);
        for (const auto& field : message)
            request.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
        auto body = decodedBody(std::string(message[http::field::content_encoding]),
                                QByteArray::fromStdString(message.body()), m_context.limits.maxBodyBytes);
        if (const int* refused = std::get_if<int>(&body))
            return refuse(*refused, *refused == 413 ? "The request was too large"
                                                    : "The request's body could not be read");
        request.body = std::move(std::get<QByteArray>(body));
        m_keepAlive = message.keep_alive() && ++m_served < m_context.limits.requestsPerConnection;
        m_parser.reset();
        if (m_buffer.size() == 0)
            m_buffer.shrink_to_fit(); // a held poll keeps no more than it needs
        ++m_context.answering;
        m_context.dispatch(std::move(request), [self = this->shared_from_this()](HttpReply reply) {
            asio::post(self->m_stream.get_executor(),
                       [self, reply = std::move(reply)]() mutable { self->write(std::move(reply)); });
        });
    }

    void refuse(int status, const char* message)
    {
        disarm();
        ++m_context.answering;
        m_keepAlive = false;
        m_leftUnread = true;
        write(refusal(status, message));
    }

    void write(HttpReply reply)
    {
        m_response.emplace(http::status(unsigned(reply.status)), 11);
        m_response->set(http::field::content_type, reply.contentType);
        for (const auto& [name, value] : reply.headers)
            m_response->set(name, value);
        m_response->keep_alive(m_keepAlive);
        m_response->body() = reply.body.toStdString();
        m_response->prepare_payload();
        arm(m_context.limits.replyTime);
        http::async_write(m_stream, *m_response,
                          [self = this->shared_from_this()](error_code ec, std::size_t) {
                              --self->m_context.answering;
                              self->m_response.reset();
                              if (ec)
                                  return self->close();
                              if (self->m_leftUnread)
                                  return self->closeLeavingTheReply();
                              if (!self->m_keepAlive)
                                  return self->close();
                              self->readRequest();
                          });
    }

    // Closing with unread bytes pending resets the connection, which can destroy the reply before
    // the client reads it: stop sending, then take what is still coming for a moment.
    void closeLeavingTheReply()
    {
        error_code ignored;
        lowest().shutdown(tcp::socket::shutdown_send, ignored);
        arm(drainTime);
        drain();
    }
    void drain()
    {
        m_buffer.clear();
        lowest().async_read_some(m_buffer.prepare(16 * 1024),
                                 [self = this->shared_from_this()](error_code ec, std::size_t got) {
                                     self->m_drained += got;
                                     if (ec || self->m_drained >= drainLimit)
                                         return self->close();
                                     self->drain();
                                 });
    }

    void close()
    {
        disarm();
        error_code ignored;
        lowest().shutdown(tcp::socket::shutdown_both, ignored);
        lowest().close(ignored);
    }

    Stream m_stream;
    ConnectionContext& m_context;
    asio::steady_timer m_timer;
    std::string m_peer;
    quint64 m_generation = 0;
    bool m_timedOut = false;
    beast::flat_buffer m_buffer{64 * 1024};
    std::optional<http::request_parser<http::string_body>> m_parser;
    std::optional<http::response<http::string_body>> m_response;
    int m_served = 0;
    bool m_keepAlive = false;
    bool m_leftUnread = false;
    std::size_t m_drained = 0;
};

} // namespace

void serveConnection(tcp::socket socket, ConnectionContext& context)
{
    if (context.tls)
        std::make_shared<Connection<asio::ssl::stream<tcp::socket>>>(std::move(socket), context)->start();
    else
        std::make_shared<Connection<tcp::socket>>(std::move(socket), context)->start();
}

} // namespace tessary::server
