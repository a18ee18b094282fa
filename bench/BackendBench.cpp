// The mail backend under load, as tessary-backend runs alone beside a real dovecot:
//   push   dovecot-lda delivery → the new id in a held ids poll, p50 and p95 over 50 messages,
//          beside dovecot's own IDLE notice to a plain IMAP client watching the same inbox;
//   polls  50 installs each holding an ids poll while mail arrives for all: every poll answered?
//   memory resident size of the backend process with 10 inboxes watched over IDLE;
//   keptAlive  50 requests on one kept-alive connection, p50 and p95 (Nagle's delay shows as 40 ms);
//   burst  300 clients connecting at once, each registering: how many are answered;
//   stop   SIGTERM to exit with 10 inboxes watched;
//   reader a 4 MB IMAP response line fed to the response reader in 16-byte pieces;
//   heldPolls  10,000 installs each holding an ids poll at once: every one answered, and the
//          backend's threads and resident memory while they are held.
// Prints one JSON object; with names as arguments, only those measurements. Run by
// scripts/bench-backend.
#include "BackendProcess.h"
#include "IdleObserver.h"
#include "server/DovecotServer.h"
#include "server/ImapResponse.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <httplib.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

using namespace tessary;
using namespace std::chrono;
using test::DovecotServer;

namespace {

using bench::Clock;
using bench::millisSince;
using bench::nextWholeSecond;
using bench::percentile;

QByteArray mail(int number)
{
    return "From: Shop <no-reply@shop.example>\r\nSubject: Code " + QByteArray::number(number) +
           "\r\nContent-Type: text/plain\r\n\r\nYour code is " + QByteArray::number(100000 + number) +
           ".\r\n";
}

// tessary-backend configured for dovecot, whose users it watches as inboxes.
class StandaloneBackend : public bench::BackendProcess {
public:
    explicit StandaloneBackend(const DovecotServer& dovecot)
        : BackendProcess([&dovecot](const QString& dataDir) { return dovecot.configureBackend(dataDir); })
    {
    }
    bool addInbox(const std::string& token, const QString& user)
    {
        const QJsonObject body{{"email", user},
                               {"password", DovecotServer::password},
                               {"host", DovecotServer::hostName},
                               {"port", 993}};
        const auto reply = post(token, "/v1/accounts/imap", body, 30);
        return reply && reply->status == 200;
    }
    // A held poll: the ids it was answered with.
    QJsonArray ids(const std::string& token, double since)
    {
        const auto reply = post(token, "/v1/messages/ids", QJsonObject{{"since", since}}, 15);
        return reply && reply->status == 200
                   ? QJsonDocument::fromJson(QByteArray::fromStdString(reply->body))["ids"].toArray()
                   : QJsonArray();
    }
};

QJsonObject measurePush(DovecotServer& dovecot)
{
    StandaloneBackend backend(dovecot);
    const QString user = DovecotServer::user(1);
    const std::string token = backend.install();
    if (!backend.isRunning() || !backend.addInbox(token, user))
        return {{"error", "backend did not start"}};
    bench::IdleObserver<Clock::time_point> observer(dovecot, user, &Clock::now);
    std::this_thread::sleep_for(seconds(1));
    std::vector<double> toPoll, toNotice, afterNotice;
    int missed = 0;
    for (int round = 0; round < 50; ++round) {
        const double since = nextWholeSecond();
        Clock::time_point answered;
        std::thread poll([&] {
            if (backend.ids(token, since).isEmpty())
                ++missed;
            answered = Clock::now();
        });
        std::this_thread::sleep_for(milliseconds(150)); // the poll is held by now
        const auto delivered = Clock::now();
        dovecot.deliver(user, mail(round));
        poll.join();
        toPoll.push_back(duration<double, std::milli>(answered - delivered).count());
        if (const auto notice = observer.noticeAfter(delivered)) {
            toNotice.push_back(duration<double, std::milli>(*notice - delivered).count());
            afterNotice.push_back(duration<double, std::milli>(answered - *notice).count());
        }
    }
    return {{"messages", 50},
            {"missed", missed},
            {"deliveryToPollP50Ms", percentile(toPoll, 0.5)},
            {"deliveryToPollP95Ms", percentile(toPoll, 0.95)},
            {"deliveryToIdleNoticeP50Ms", percentile(toNotice, 0.5)},
            {"idleNoticeToPollP50Ms", percentile(afterNotice, 0.5)},
            {"idleNoticeToPollP95Ms", percentile(afterNotice, 0.95)}};
}

QJsonObject measureManyPolls(DovecotServer& dovecot)
{
    constexpr int installs = 50;
    StandaloneBackend backend(dovecot);
    std::vector<std::string> tokens;
    for (int i = 0; i < installs; ++i) {
        tokens.push_back(backend.install());
        if (!backend.addInbox(tokens.back(), DovecotServer::user(i % DovecotServer::userCount + 1)))
            return {{"error", "an inbox could not be added"}};
    }
    std::this_thread::sleep_for(seconds(2));
    const double since = nextWholeSecond();
    std::atomic<int> answeredWithMail{0};
    std::vector<double> latency(installs);
    std::vector<std::thread> polls;
    const auto start = Clock::now();
    for (int i = 0; i < installs; ++i)
        polls.emplace_back([&, i] {
            if (!backend.ids(tokens[size_t(i)], since).isEmpty())
                ++answeredWithMail;
            latency[size_t(i)] = millisSince(start);
        });
    std::this_thread::sleep_for(milliseconds(300));
    const auto delivering = Clock::now();
    for (int user = 1; user <= DovecotServer::userCount; ++user)
        dovecot.deliver(DovecotServer::user(user), mail(user));
    const double deliveryMs = millisSince(delivering);
    for (auto& poll : polls)
        poll.join();
    return {{"installs", installs},
            {"answeredWithMail", answeredWithMail.load()},
            {"deliveringAllMs", deliveryMs},
            {"lastPollAnsweredMs", *std::max_element(latency.begin(), latency.end()) - 300}};
}

QJsonObject measureMemory(DovecotServer& dovecot)
{
    StandaloneBackend backend(dovecot);
    const std::string token = backend.install();
    for (int user = 1; user <= 10; ++user)
        if (!backend.addInbox(token, DovecotServer::user(user)))
            return {{"error", "an inbox could not be added"}};
    std::this_thread::sleep_for(seconds(3));
    const QJsonObject figures = backend.figures();
    return {{"inboxes", 10}, {"VmRSSKb", figures.value("VmRSS")}, {"VmHWMKb", figures.value("VmHWM")}};
}

QJsonObject measureKeptAlive(DovecotServer& dovecot)
{
    StandaloneBackend backend(dovecot);
    const std::string token = backend.install();
    httplib::Client client("http://" + backend.address());
    client.set_keep_alive(true);
    client.set_bearer_token_auth(token.c_str());
    std::vector<double> latency;
    for (int i = 0; i < 50; ++i) {
        const auto start = Clock::now();
        if (const auto reply = client.Get("/v1/accounts"); reply && reply->status == 200)
            latency.push_back(millisSince(start));
    }
    return {{"requests", 50},
            {"answered", int(latency.size())},
            {"p50Ms", percentile(latency, 0.5)},
            {"p95Ms", percentile(latency, 0.95)}};
}

QJsonObject measureBurst(DovecotServer& dovecot)
{
    constexpr int clients = 300;
    StandaloneBackend backend(dovecot);
    std::atomic<int> answered{0};
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    for (int i = 0; i < clients; ++i)
        threads.emplace_back([&] {
            httplib::Client client("http://" + backend.address());
            client.set_connection_timeout(10);
            if (const auto reply = client.Post("/v1/installs"); reply && reply->status == 200)
                ++answered;
        });
    for (auto& thread : threads)
        thread.join();
    return {{"clients", clients}, {"answered", answered.load()}, {"allDoneMs", millisSince(start)}};
}

QJsonObject measureStop(DovecotServer& dovecot)
{
    StandaloneBackend backend(dovecot);
    const std::string token = backend.install();
    for (int user = 1; user <= 10; ++user)
        if (!backend.addInbox(token, DovecotServer::user(user)))
            return {{"error", "an inbox could not be added"}};
    std::this_thread::sleep_for(seconds(2));
    return {{"inboxes", 10}, {"sigtermToExitMs", backend.stopMs()}};
}

QString loadAverage()
{
    QFile load(QStringLiteral("/proc/loadavg"));
    load.open(QIODevice::ReadOnly);
    return QString::fromLatin1(load.readAll().trimmed());
}

QJsonObject measureHeldPolls(DovecotServer& dovecot)
{
    constexpr int polls = 10000;
    StandaloneBackend backend(dovecot);
    const uint16_t port = backend.port();
    const QString loadBefore = loadAverage();
    // One install per poll: a newer poll of the same install would answer the older one.
    std::vector<std::string> tokens(polls);
    std::vector<std::thread> registering;
    for (int part = 0; part < 4; ++part)
        registering.emplace_back([&, part] {
            httplib::Client client("http://" + backend.address());
            client.set_keep_alive(true);
            for (int i = part; i < polls; i += 4)
                if (const auto reply = client.Post("/v1/installs"); reply && reply->status == 200)
                    tokens[size_t(i)] =
                        QJsonDocument::fromJson(QByteArray::fromStdString(reply->body))["token"]
                            .toString()
                            .toStdString();
        });
    for (auto& thread : registering)
        thread.join();
    if (std::any_of(tokens.begin(), tokens.end(), [](const std::string& token) { return token.empty(); }))
        return {{"error", "an install could not be registered"}};
    const QJsonObject idle = backend.figures();

    const auto start = Clock::now();
    std::vector<pollfd> sockets;
    int refused = 0;
    for (const std::string& token : tokens) {
        const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const std::string body = R"({"since": 0})";
        const std::string request =
            "POST /v1/messages/ids HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + token +
            "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\n\r\n" + body;
        if (socket < 0 || ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::send(socket, request.data(), request.size(), MSG_NOSIGNAL) != ssize_t(request.size())) {
            ++refused;
            if (socket >= 0)
                ::close(socket);
            continue;
        }
        sockets.push_back(pollfd{socket, POLLIN, 0});
    }
    const double sentMs = millisSince(start);
    std::this_thread::sleep_for(seconds(3)); // every poll is parked by now, none yet due
    const QJsonObject held = backend.figures();
    const QString loadHeld = loadAverage();

    // A reply is whole once its head and its Content-Length of body are in.
    std::vector<std::string> replies(sockets.size());
    int answered = 0;
    int ok = 0;
    int lost = 0;
    while (answered + lost < int(sockets.size()) && millisSince(start) < 60000) {
        if (::poll(sockets.data(), sockets.size(), 1000) <= 0)
            continue;
        for (size_t i = 0; i < sockets.size(); ++i) {
            if (sockets[i].fd < 0 || !(sockets[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char piece[4096];
            const ssize_t got = ::recv(sockets[i].fd, piece, sizeof(piece), 0);
            if (got > 0)
                replies[i].append(piece, size_t(got));
            const size_t headEnd = replies[i].find("\r\n\r\n");
            const size_t length = replies[i].find("Content-Length: ");
            const bool whole = headEnd != std::string::npos && length != std::string::npos &&
                               replies[i].size() >= headEnd + 4 + std::stoul(replies[i].substr(length + 16));
            if (whole || got <= 0) {
                ++(whole ? answered : lost);
                ok += whole && replies[i].rfind("HTTP/1.1 200", 0) == 0;
                ::close(sockets[i].fd);
                sockets[i].fd = -1;
            }
        }
    }
    const QJsonObject after = backend.figures();
    return {{"polls", polls},
            {"connectFailed", refused},
            {"allSentMs", sentMs},
            {"answered", answered},
            {"answered200", ok},
            {"droppedOrReset", lost + (int(sockets.size()) - answered - lost)},
            {"lastAnsweredMs", millisSince(start)},
            {"backendIdle", idle},
            {"backendWhileHeld", held},
            {"backendPeakRssKb", after.value("VmHWM")},
            {"loadBefore", loadBefore},
            {"loadWhileHeld", loadHeld}};
}

QJsonObject measureReader()
{
    QByteArray search = "* SEARCH";
    for (int uid = 1; search.size() < (4 << 20) - 16; ++uid)
        search += ' ' + QByteArray::number(uid);
    search += "\r\n";
    const auto start = Clock::now();
    server::ImapResponseReader reader;
    qsizetype read = 0;
    for (qsizetype at = 0; at < search.size(); at += 16) {
        reader.feed(search.mid(at, 16));
        while (const auto response = reader.next())
            read += response->size();
    }
    return {{"bytes", read}, {"pieces", search.size() / 16}, {"ms", millisSince(start)}};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    DovecotServer dovecot;
    if (!dovecot.isReady()) {
        std::fprintf(stderr, "%s\n", qPrintable(dovecot.error()));
        return 1;
    }
    // Ten thousand connections at once need as many descriptors.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
    const std::vector<std::pair<QString, std::function<QJsonObject()>>> measurements = {
        {"memory", [&] { return measureMemory(dovecot); }},
        {"push", [&] { return measurePush(dovecot); }},
        {"manyPolls", [&] { return measureManyPolls(dovecot); }},
        {"keptAlive", [&] { return measureKeptAlive(dovecot); }},
        {"burst", [&] { return measureBurst(dovecot); }},
        {"stop", [&] { return measureStop(dovecot); }},
        {"reader", [] { return measureReader(); }},
        {"heldPolls", [&] { return measureHeldPolls(dovecot); }},
    };
    const QStringList chosen = app.arguments().mid(1);
    QJsonObject result;
    for (const auto& [name, measure] : measurements)
        if (chosen.isEmpty() || chosen.contains(name))
            result.insert(name, measure());
    std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Indented).constData());
    return 0;
}
