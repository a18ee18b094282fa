#include "server/FormPost.h"

#include <QHostAddress>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/ssl/host_name_verification.hpp>
#include <boost/asio/ssl/stream.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/http/write.hpp>

namespace tessary::server {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using boost::system::error_code;

// A reply may be as large as the app itself takes a list of messages (16 MB): another instance's
// records for one list come this way. Beast's own default for a reply is 8 MB.
constexpr std::uint64_t maxReplyBytes = 16 * 1024 * 1024;

// One request and its reply over a connected stream; `done` is set when the reply is in.
struct Exchange {
    http::request<http::string_body> request;
    beast::flat_buffer buffer;
    http::response_parser<http::string_body> parser;
    bool done = false;

    template <class Stream>
    void run(Stream& stream)
    {
        parser.body_limit(maxReplyBytes);
        http::async_write(stream, request, [this, &stream](error_code ec, std::size_t) {
            if (!ec)
                http::async_read(stream, buffer, parser,
                                 [this](error_code read, std::size_t) { done = !read; });
        });
    }
};

} // namespace

std::optional<FormReply> postForm(const QUrl& url, const QList<std::pair<QByteArray, QByteArray>>& fields,
                                  const QString& caFile, std::chrono::seconds within, const WakeFlag* stop)
{
    // Shared with the stop's handler, which may still be running on the raising thread as this returns.
    const auto io = std::make_shared<asio::io_context>();
    QMetaObject::Connection stopping;
    if (stop)
        stopping = QObject::connect(stop, &WakeFlag::raised, [io] { io->stop(); });
    if (stop && stop->isRaised())
        io->stop();

    const bool secured = url.scheme() == QLatin1String("https");
    const std::string host = url.host().toStdString();
    QByteArray form;
    for (const auto& [name, value] : fields)
        form += (form.isEmpty() ? "" : "&") + name.toPercentEncoding() + '=' + value.toPercentEncoding();

    Exchange exchange;
    exchange.request = {http::verb::post, url.path(QUrl::FullyEncoded).toStdString(), 11};
    exchange.request.set(http::field::host, url.authority().toStdString());
    exchange.request.set(http::field::content_type, "application/x-www-form-urlencoded");
    exchange.request.set(http::field::accept, "application/json");
    exchange.request.body() = form.toStdString();
    exchange.request.prepare_payload();

    asio::ssl::context tls(asio::ssl::context::tls_client);
    error_code ignored;
    tls.set_default_verify_paths(ignored);
    if (!caFile.isEmpty())
        tls.load_verify_file(caFile.toStdString(), ignored);
    tls.set_verify_mode(asio::ssl::verify_peer);
    asio::ssl::stream<tcp::socket> stream(*io, tls);
    if (QHostAddress(url.host()).isNull()) // a name, not an address: say which site is wanted
        SSL_set_tlsext_host_name(stream.native_handle(), host.c_str());
    stream.set_verify_callback(asio::ssl::host_name_verification(host));

    tcp::resolver resolver(*io);
    resolver.async_resolve(
        host, std::to_string(url.port(secured ? 443 : 80)),
        [&](error_code ec, const tcp::resolver::results_type& found) {
            if (ec)
                return;
            asio::async_connect(stream.next_layer(), found, [&](error_code connected, const tcp::endpoint&) {
                if (connected)
                    return;
                if (!secured)
                    return exchange.run(stream.next_layer());
                stream.async_handshake(asio::ssl::stream_base::client, [&](error_code handshake) {
                    if (!handshake)
                        exchange.run(stream);
                });
            });
        });
    io->run_for(within);
    QObject::disconnect(stopping);
    if (!exchange.done)
        return std::nullopt;
    return FormReply{int(exchange.parser.get().result_int()),
                     QByteArray::fromStdString(exchange.parser.get().body())};
}

} // namespace tessary::server
