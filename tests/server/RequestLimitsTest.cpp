#include "DovecotServer.h"
#include "FakeImapServer.h"

#include "server/AddressRateLimit.h"
#include "server/BackendServer.h"
#include "support/TestCertificates.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <httplib.h>

#include <future>
#include <thread>

using namespace tessary;
using namespace std::chrono;

namespace {

// Sends `pieces` `pause` apart, stopping once the backend answers (more would only reset the
// connection before the reply is read), and returns the reply.
QByteArray exchange(uint16_t port, const QList<QByteArray>& pieces, milliseconds pause = {})
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.waitForConnected(5000);
    for (const QByteArray& piece : pieces) {
        if (socket.waitForReadyRead(int(pause.count())))
            break;
        socket.write(piece);
        socket.waitForBytesWritten(5000);
    }
    QByteArray reply;
    while (socket.bytesAvailable() > 0 || socket.waitForReadyRead(15000))
        reply += socket.readAll();
    return reply;
}

// The install token a backend on `port` registers, empty when it refuses.
std::string registeredToken(uint16_t port)
{
    const auto install = httplib::Client("127.0.0.1", port).Post("/v1/installs", "", "application/json");
    const QByteArray body = install ? QByteArray::fromStdString(install->body) : QByteArray();
    return QJsonDocument::fromJson(body)["token"].toString().toStdString();
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
// one it broke, and the connection ends. A second backend on the same port does not start.
TEST_F(RequestLimits, OversizedOrSlowRequestsAreRefusedWithTheirStatus)
{
    server::ServerConfig second;
    second.dataDir = data.filePath("second");
    second.listenPort = backend->port();
    const auto refused = server::BackendServer::start(second);
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.error().contains(QString::number(backend->port()))) << refused.error().toStdString();

    const auto post = [](const QByteArray& headers) {
        return "POST /v1/installs HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n";
    };
    const QByteArray bomb = qCompress(QByteArray(8 << 20, '\0'), 9).mid(4); // zlib, 8 MB inflated
    const QByteArray chunk = QByteArray(16 * 1024, 'a');
    const QByteArray trickle = post("Content-Length: 0\r\n");
    struct Row {
        const char* name;
        QList<QByteArray> pieces;
        QByteArray status;
    };
    const QList<Row> rows = {
        {"a plain request", {post("Connection: close\r\nContent-Length: 0\r\n")}, "200"},
        {"a small deflated body inflating to megabytes",
         {post("Content-Encoding: deflate\r\nContent-Length: " + QByteArray::number(bomb.size()) + "\r\n"),
          bomb},
         "413"},
        {"a chunked body past the limit",
         {post("Transfer-Encoding: chunked\r\n"), ("4000\r\n" + chunk + "\r\n").repeated(16), "0\r\n\r\n"},
         "413"},
        {"a declared length past the limit", {post("Content-Length: 104857600\r\n"), chunk}, "413"},
        {"hundreds of header lines", {post(QByteArray("X-Filler: x\r\n").repeated(500))}, "431"},
        {"one endless header line", {post("X-Long: " + QByteArray(64 * 1024, 'y') + "\r\n")}, "431"},
        {"a head that trickles in", {trickle.left(20), trickle.mid(20, 20), trickle.mid(40)}, "408"},
        {"a length that is not a number", {post("Content-Length: 12abc\r\n")}, "400"},
        {"a body in a coding with no end", {post("Transfer-Encoding: gzip\r\n"), "abc"}, "400"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const milliseconds pause(row.status == "408" ? 700 : 10);
        const QByteArray reply = exchange(backend->port(), row.pieces, pause);
        EXPECT_EQ(reply.mid(9, 3), row.status) << reply.left(200).toStdString();
        const QJsonObject body = QJsonDocument::fromJson(reply.mid(reply.indexOf("\r\n\r\n") + 4)).object();
        EXPECT_TRUE(body.contains(row.status == "200" ? "token" : "error"));
    }
}

// With every held place taken, a poll is told to come back later; an empty list would read as
// "no mail".
TEST_F(RequestLimits, APollBeyondTheHeldOnesIsAskedToRetryNeverAnsweredEmpty)
{
    const auto poll = [this] {
        httplib::Client client("127.0.0.1", backend->port());
        client.set_bearer_token_auth(registeredToken(backend->port()));
        return client.Post("/v1/messages/ids", R"({"since": 0})", "application/json");
    };
    auto held = std::async(std::launch::async, poll);
    std::this_thread::sleep_for(milliseconds(500));
    const auto refused = poll();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 503);
    EXPECT_FALSE(refused->get_header_value("Retry-After").empty());
    EXPECT_TRUE(QJsonDocument::fromJson(QByteArray::fromStdString(refused->body)).object().contains("error"));
    EXPECT_EQ(held.get()->status, 200);
}

// A request waiting for mail holds no thread: with far more of them waiting than the server has
// threads, another request is still answered while every one waits. An ids poll waits for new
// mail; a list of messages waits for an inbox still being read for the first time (its server
// answered the check of the inbox but owes the watcher its SEARCH for 30 s). An install's inboxes
// stop at its limit.
TEST(HeldPolls, RequestsWaitingForMailHoldNoThread)
{
    test::FakeImapServer mailServer([](const QByteArray& tag, const QByteArray& command) {
        return command.toUpper().startsWith("UID SEARCH")
                   ? QByteArray()
                   : test::FakeImapServer::honestEmptyInbox(tag, command);
    });
    ASSERT_TRUE(mailServer.isReady());
    struct Row {
        const char* path;
        bool oneInstallWithAnInbox; // else each request its own install: a newer poll would end an older
    };
    for (const Row& row : {Row{"/v1/messages/ids", false}, Row{"/v1/messages", true}}) {
        SCOPED_TRACE(row.path);
        QTemporaryDir data;
        ASSERT_TRUE(test::configureBackend(
            data.path(), test::FakeImapServer::hostName, mailServer.port(), mailServer.certificateFile(),
            {{"oauth", QJsonObject{{"gmail", QJsonObject{{"clientId", "c"}}}}}}));
        server::ServerConfig config;
        config.dataDir = data.path();
        config.pollHoldMs = 3000;
        config.inboxesPerInstall = 2;
        auto backend = server::BackendServer::start(config);
        ASSERT_TRUE(backend) << backend.error().toStdString();
        const uint16_t port = (*backend)->port();
        const auto registered = [port] { return QByteArray::fromStdString(registeredToken(port)); };
        QList<QByteArray> tokens{registered()};
        while (tokens.size() < 100)
            tokens.append(row.oneInstallWithAnInbox ? tokens.first() : registered());
        ASSERT_FALSE(tokens.contains(QByteArray()));
        if (row.oneInstallWithAnInbox) {
            httplib::Client client("127.0.0.1", port);
            client.set_bearer_token_auth(tokens.first().constData());
            const auto add = [port, token = tokens.first()](const std::string& email) {
                httplib::Client own("127.0.0.1", port); // adds sent together need a connection each
                own.set_bearer_token_auth(token.constData());
                const auto added =
                    own.Post("/v1/accounts/imap",
                             R"({"email": ")" + email + R"(", "password": "app-password", "host": ")" +
                                 test::FakeImapServer::hostName.toStdString() + "\"}",
                             "application/json");
                return added ? added->status : 0;
            };
            const auto connect = [&client] {
                return client.Post("/v1/accounts/connect", R"({"provider": "gmail"})", "application/json");
            };
            // Past the install's inboxes, sign-ins under way counted, no more is added, also by adds
            // sent together; the same inbox again is no new one.
            EXPECT_EQ(connect()->status, 200);
            const QStringList emails{"you@fake.example", "another@fake.example"};
            std::vector<std::future<int>> adds;
            for (const QString& email : emails)
                adds.push_back(std::async(std::launch::async, add, email.toStdString()));
            const QList<int> statuses{adds[0].get(), adds[1].get()};
            EXPECT_TRUE(statuses == QList<int>({200, 400}) || statuses == QList<int>({400, 200}));
            EXPECT_EQ(connect()->status, 400);
            EXPECT_EQ(add(emails[statuses.indexOf(200)].toStdString()), 200);
        }
        std::vector<std::unique_ptr<QTcpSocket>> waiting;
        for (const QByteArray& token : tokens) {
            auto& request = waiting.emplace_back(std::make_unique<QTcpSocket>());
            request->connectToHost(QHostAddress::LocalHost, port);
            ASSERT_TRUE(request->waitForConnected(5000));
            request->write("POST " + QByteArray(row.path) +
                           " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + token +
                           "\r\nContent-Type: application/json\r\nContent-Length: 12\r\n\r\n{\"since\": 0}");
            ASSERT_TRUE(request->waitForBytesWritten(5000));
        }
        EXPECT_FALSE(registered().isEmpty());
        for (auto& request : waiting)
            EXPECT_FALSE(request->waitForReadyRead(0)) << "answered before its mail or its deadline";
        for (auto& request : waiting) {
            ASSERT_TRUE(request->bytesAvailable() > 0 || request->waitForReadyRead(10000));
            EXPECT_TRUE(request->readAll().startsWith("HTTP/1.1 200"));
        }
    }
}

// Registrations are counted per client, two an hour here: an IPv6 host counts by its /64 and an
// IPv4 address reached through IPv6 as itself; this machine is never limited.
TEST(AddressRateLimit, CountsEachClientsRegistrationsAndGivesTurnsBackOverTheHour)
{
    server::AddressRateLimit limit(2);
    const auto start = server::AddressRateLimit::Clock::now();
    struct Row {
        const char* client;
        int minutesLater;
        int waitSeconds; // 0: admitted
    };
    const Row rows[] = {
        {"203.0.113.5", 0, 0},        {"203.0.113.5", 0, 0},
        {"203.0.113.5", 0, 1800},     {"::ffff:203.0.113.5", 0, 1800},
        {"203.0.113.6", 0, 0},        {"203.0.113.5", 20, 600},
        {"203.0.113.5", 30, 0},       {"203.0.113.5", 30, 1800},
        {"2001:db8::1", 30, 0},       {"2001:db8::2", 30, 0},
        {"2001:db8::ffff", 30, 1800}, {"2001:db8:0:1::1", 30, 0},
        {"127.0.0.1", 30, 0},         {"127.0.0.1", 30, 0},
        {"127.0.0.1", 30, 0},         {"203.0.113.5", 150, 0},
        {"203.0.113.5", 150, 0},      {"203.0.113.5", 150, 1800},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.client) + " at minute " + std::to_string(row.minutesLater));
        const auto wait = limit.take(row.client, start + minutes(row.minutesLater));
        EXPECT_EQ(wait.value_or(seconds(0)), seconds(row.waitSeconds));
    }
}

// The peer's own address counts, unless the peer is a proxy on this machine: then the address it
// added last to X-Forwarded-For does. Over https, on one connection, this machine is served again
// and again, a forwarded client past its turns hears 429 and when to come back while another is
// still served, and a head past the limit is refused as over plain http.
TEST(AddressRateLimit, RegistrationsPastTheLimitAreRefusedPerForwardedClient)
{
    struct Row {
        const char* peer;
        const char* forwarded;
        const char* client;
    };
    for (const Row& row : {Row{"203.0.113.9", "198.51.100.1", "203.0.113.9"},
                           Row{"127.0.0.1", "10.0.0.1, 198.51.100.1", "198.51.100.1"},
                           Row{"::1", "198.51.100.2", "198.51.100.2"}, Row{"127.0.0.1", "", "127.0.0.1"}}) {
        server::HttpRequest request;
        request.peer = row.peer;
        if (*row.forwarded)
            request.headers.emplace_back("X-Forwarded-For", row.forwarded);
        EXPECT_EQ(server::clientAddress(request), row.client) << row.peer << " " << row.forwarded;
    }

    QTemporaryDir data;
    ASSERT_TRUE(test::makeTestCertificates(data.path(), "localhost", "DNS:localhost"));
    server::ServerConfig config;
    config.dataDir = data.filePath("backend");
    config.tlsCert = data.filePath("server.pem");
    config.tlsKey = data.filePath("server.key");
    config.installsPerHour = 1;
    auto backend = server::BackendServer::start(config);
    ASSERT_TRUE(backend) << backend.error().toStdString();
    httplib::SSLClient client("127.0.0.1", (*backend)->port());
    client.enable_server_certificate_verification(false);
    client.set_keep_alive(true);
    const auto registerAs = [&client](const char* address) {
        return client.Post("/v1/installs", {{"X-Forwarded-For", address}}, "", "application/json");
    };
    for (int round = 0; round < 2; ++round)
        EXPECT_EQ(client.Post("/v1/installs", "", "application/json")->status, 200);
    EXPECT_EQ(registerAs("198.51.100.7")->status, 200);
    const auto refused = registerAs("198.51.100.7");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 429);
    EXPECT_EQ(refused->get_header_value("Retry-After"), "3600");
    EXPECT_TRUE(
        QJsonDocument::fromJson(QByteArray::fromStdString(refused->body))["error"].toString().contains(
            "60 minutes"));
    const auto other = registerAs("198.51.100.8");
    ASSERT_EQ(other->status, 200);
    // A forwarded client is on another machine: for it, and from then on for everyone, also after a
    // restart, the backend connects to none of this one's ports, whose answers would tell which are
    // open.
    client.set_bearer_token_auth(
        QJsonDocument::fromJson(QByteArray::fromStdString(other->body))["token"].toString().toStdString());
    const auto probe =
        client.Post("/v1/accounts/imap", {{"X-Forwarded-For", "198.51.100.8"}},
                    R"({"email": "you@fake.example", "password": "app-password", "host": "localhost"})",
                    "application/json");
    EXPECT_EQ(probe->status, 400) << probe->body;
    EXPECT_TRUE(server::hasServedAnotherMachine(config.dataDir));
    httplib::Headers many;
    for (int i = 0; i < 100; ++i)
        many.emplace("X-Filler-" + std::to_string(i), "x");
    EXPECT_EQ(client.Post("/v1/installs", many, "", "application/json")->status, 431);
}
