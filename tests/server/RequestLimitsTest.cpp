#include "server/BackendServer.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <httplib.h>
#include <zlib.h>

#include <arpa/inet.h>
#include <future>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace tessary;
using namespace std::chrono;

namespace {

// Sends `pieces` to the backend as they are, `pause` apart, and returns the reply as far as it
// came before the connection closed; a refusal may cut the sending short.
QByteArray exchange(uint16_t port, const QList<QByteArray>& pieces, milliseconds pause = {})
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QByteArray reply;
    if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
        for (const QByteArray& piece : pieces) {
            pollfd answered{socket, POLLIN, 0};
            if (::poll(&answered, 1, 0) > 0 ||
                ::send(socket, piece.constData(), size_t(piece.size()), MSG_NOSIGNAL) < 0)
                break; // refused already: more would only reset the connection before the reply is read
            std::this_thread::sleep_for(pause);
        }
        char buffer[4096];
        for (pollfd ready{socket, POLLIN, 0}; ::poll(&ready, 1, 15000) > 0;) {
            const ssize_t got = ::recv(socket, buffer, sizeof(buffer), 0);
            if (got <= 0)
                break;
            reply.append(buffer, got);
        }
    }
    ::close(socket);
    return reply;
}

QByteArray gzip(const QByteArray& plain)
{
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(plain.size()))), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.constData()));
    stream.avail_in = uInt(plain.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

QByteArray post(const QByteArray& headers, const QByteArray& body = {})
{
    return "POST /v1/installs HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n" + body;
}

class RequestLimits : public ::testing::Test {
protected:
    void SetUp() override
    {
        server::ServerConfig config;
        config.dataDir = data.path();
        config.maxHeldPolls = 1;
        config.pollHoldMs = 3000;
        config.http.requestTime = milliseconds(1000);
        auto started = server::BackendServer::start(config);
        ASSERT_TRUE(started) << started.error().toStdString();
        backend = std::move(*started);
    }

    QTemporaryDir data;
    std::unique_ptr<server::BackendServer> backend;
};

} // namespace

// Every limit holds before the request is buffered or its token looked at: the client hears which
// one it broke, and the connection ends.
TEST_F(RequestLimits, OversizedOrSlowRequestsAreRefusedWithTheirStatus)
{
    const QByteArray bomb = gzip(QByteArray(8 * 1024 * 1024, '\0'));
    const QByteArray chunk = QByteArray(16 * 1024, 'a');
    QByteArray chunked;
    for (int i = 0; i < 16; ++i)
        chunked += QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
    QList<QByteArray> trickle;
    for (const QByteArray whole = post("Content-Length: 0\r\n"); trickle.size() * 8 < whole.size();)
        trickle.append(whole.mid(trickle.size() * 8, 8));
    QByteArray manyHeaders;
    for (int i = 0; i < 500; ++i)
        manyHeaders += "X-Filler-" + QByteArray::number(i) + ": x\r\n";
    struct Row {
        const char* name;
        QList<QByteArray> pieces;
        milliseconds pause;
        QByteArray status;
    };
    const QList<Row> rows = {
        {"a plain request", {post("Connection: close\r\nContent-Length: 0\r\n")}, {}, "200"},
        {"a small gzip body inflating to megabytes",
         {post("Content-Encoding: gzip\r\nContent-Length: " + QByteArray::number(bomb.size()) + "\r\n",
               bomb)},
         {},
         "413"},
        {"a chunked body past the limit",
         {post("Transfer-Encoding: chunked\r\n"), chunked, "0\r\n\r\n"},
         {},
         "413"},
        {"a declared length past the limit", {post("Content-Length: 104857600\r\n"), chunk}, {}, "413"},
        {"hundreds of header lines", {post(manyHeaders + "Content-Length: 0\r\n")}, {}, "431"},
        {"one endless header line", {post("X-Long: " + QByteArray(64 * 1024, 'y') + "\r\n")}, {}, "431"},
        {"a head that trickles in", trickle, milliseconds(200), "408"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray reply = exchange(backend->port(), row.pieces, row.pause);
        EXPECT_EQ(reply.mid(9, 3), row.status) << reply.left(200).toStdString();
        if (row.status != "200") {
            const qsizetype body = reply.indexOf("\r\n\r\n");
            EXPECT_TRUE(QJsonDocument::fromJson(reply.mid(body + 4)).object().value("error").isString());
        }
    }
}

// With every held place taken, a poll is told to come back later; an empty list would read as
// "no mail".
TEST_F(RequestLimits, APollBeyondTheHeldOnesIsAskedToRetryNeverAnsweredEmpty)
{
    const auto install = [this] {
        httplib::Client client("127.0.0.1", backend->port());
        const auto reply = client.Post("/v1/installs", "", "application/json");
        return reply ? QJsonDocument::fromJson(QByteArray::fromStdString(reply->body))
                           .object()
                           .value("token")
                           .toString()
                           .toStdString()
                     : std::string();
    };
    const auto poll = [this](const std::string& token) {
        httplib::Client client("127.0.0.1", backend->port());
        client.set_bearer_token_auth(token.c_str());
        return client.Post("/v1/messages/ids", R"({"since": 0})", "application/json");
    };
    const std::string first = install();
    const std::string second = install();
    ASSERT_FALSE(first.empty());
    auto held = std::async(std::launch::async, [&] { return poll(first); });
    std::this_thread::sleep_for(milliseconds(500));
    const auto refused = poll(second);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 503);
    EXPECT_FALSE(refused->get_header_value("Retry-After").empty());
    EXPECT_TRUE(QJsonDocument::fromJson(QByteArray::fromStdString(refused->body)).object().contains("error"));
    const auto answered = held.get();
    ASSERT_TRUE(answered);
    EXPECT_EQ(answered->status, 200);
}

TEST_F(RequestLimits, ASecondBackendOnTheSamePortDoesNotStart)
{
    QTemporaryDir other;
    server::ServerConfig config;
    config.dataDir = other.path();
    config.listenPort = backend->port();
    const auto second = server::BackendServer::start(config);
    ASSERT_FALSE(second);
    EXPECT_TRUE(second.error().contains(QString::number(backend->port()))) << second.error().toStdString();
}
