// Many inboxes watched by one tessary-backend, run alone beside a real dovecot:
//   watch   1,000 inboxes added over HTTP, then the backend's threads and resident memory once all
//           of them idle;
//   push    dovecot-lda delivery → the new id in a held ids poll, p50 and p95 over 40 messages to
//           inboxes across the thousand, beside dovecot's own IDLE notice to a plain IMAP client
//           on the same inbox;
//   stop    SIGTERM to exit with every inbox watched.
// With --instances 3: three (or N) tessary-backend instances on one PostgreSQL behind nginx share the
// inboxes, 10,000 other installs keep ids polls held on them meanwhile, the push polls are held on
// each instance in turn and through nginx, and one instance is killed: SIGKILL until every inbox
// has a live lease of the others again.
// Prints one JSON object. Run by scripts/bench-inboxes [--instances 3] [INBOXES].
#include "BackendProcess.h"
#include "IdleObserver.h"
#include "server/DovecotServer.h"
#include "server/NginxServer.h"
#include "server/PostgresServer.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <libpq-fe.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

using namespace tessary;
using namespace std::chrono;
using test::DovecotServer;
using test::NginxServer;
using test::PostgresServer;

namespace {

using bench::Clock;
using bench::nextWholeSecond;
using bench::percentile;

double millisBetween(Clock::time_point from, Clock::time_point to)
{
    return duration<double, std::milli>(to - from).count();
}

// A held ids poll on the backend at `address`: whether it was answered with an id.
bool heldPollHasMail(const std::string& address, const std::string& token, double since)
{
    httplib::Client client("http://" + address);
    client.set_read_timeout(15);
    client.set_bearer_token_auth(token.c_str());
    const auto reply =
        client.Post("/v1/messages/ids", R"({"since": )" + std::to_string(since) + "}", "application/json");
    return reply && reply->status == 200 &&
           !QJsonDocument::fromJson(QByteArray::fromStdString(reply->body))["ids"].toArray().isEmpty();
}

// tessary-backend configured for dovecot, with one install whose inboxes are dovecot's users (a
// new one, or `token`'s of an instance on the same database).
class Backend : public bench::BackendProcess {
public:
    explicit Backend(const DovecotServer& dovecot, const QStringList& arguments = {},
                     const std::string& token = {})
        : BackendProcess([&dovecot](const QString& dataDir) { return dovecot.configureBackend(dataDir); },
                         arguments)
        , m_token(!isRunning()    ? std::string()
                  : token.empty() ? install()
                                  : token)
    {
    }
    bool hasInstall() const { return !m_token.empty(); }
    const std::string& token() const { return m_token; }

    bool addInbox(const QString& user)
    {
        const QJsonObject body{{"email", user},
                               {"password", DovecotServer::password},
                               {"host", DovecotServer::hostName},
                               {"port", 993}};
        for (int attempt = 0; attempt < 20; ++attempt) { // 503 while other checks run
            const auto reply = post(m_token, "/v1/accounts/imap", body, 30);
            if (reply && reply->status == 200)
                return true;
            if (!reply || reply->status != 503) {
                std::fprintf(stderr, "%s: %d %s\n", qPrintable(user), reply ? reply->status : 0,
                             reply ? reply->body.c_str() : "no reply");
                return false;
            }
            std::this_thread::sleep_for(milliseconds(100));
        }
        return false;
    }

private:
    const std::string m_token;
};

QByteArray mail(int number)
{
    return "From: Shop <no-reply@shop.example>\r\nSubject: Code " + QByteArray::number(number) +
           "\r\nContent-Type: text/plain\r\n\r\nYour code is " + QByteArray::number(100000 + number) +
           ".\r\n";
}

// Where a push poll is held: a name and the "127.0.0.1:PORT" it is sent to, taken in turn.
struct PollTarget {
    QString name;
    std::string address;
};

QJsonObject measurePush(DovecotServer& dovecot, const std::string& token,
                        const std::vector<PollTarget>& targets, int inboxes)
{
    const int rounds = 40 * int(targets.size() + 1) / 2;
    std::vector<QString> users;
    std::vector<std::unique_ptr<bench::IdleObserver<Clock::time_point>>> observers;
    for (int round = 0; round < rounds; ++round) {
        users.push_back(DovecotServer::user(round * inboxes / rounds + 1));
        observers.push_back(
            std::make_unique<bench::IdleObserver<Clock::time_point>>(dovecot, users.back(), &Clock::now));
    }
    std::this_thread::sleep_for(seconds(2)); // every observer idling
    std::vector<double> toPoll, toNotice, afterNotice;
    std::vector<std::vector<double>> toPollAt(targets.size());
    int missed = 0;
    for (int round = 0; round < rounds; ++round) {
        const double since = nextWholeSecond();
        const PollTarget& target = targets[size_t(round) % targets.size()];
        Clock::time_point answered;
        std::thread poll([&] {
            if (!heldPollHasMail(target.address, token, since))
                ++missed;
            answered = Clock::now();
        });
        std::this_thread::sleep_for(milliseconds(150)); // the poll is held by now
        const auto delivered = Clock::now();
        dovecot.deliver(users[size_t(round)], mail(round));
        poll.join();
        toPoll.push_back(millisBetween(delivered, answered));
        toPollAt[size_t(round) % targets.size()].push_back(toPoll.back());
        if (const auto notice = observers[size_t(round)]->noticeAfter(delivered)) {
            toNotice.push_back(millisBetween(delivered, *notice));
            afterNotice.push_back(millisBetween(*notice, answered));
        }
    }
    QJsonObject byTarget;
    if (targets.size() > 1)
        for (size_t index = 0; index < targets.size(); ++index)
            byTarget.insert(targets[index].name,
                            QJsonObject{{"deliveryToPollP50Ms", percentile(toPollAt[index], 0.5)},
                                        {"deliveryToPollP95Ms", percentile(toPollAt[index], 0.95)}});
    return {{"messages", rounds},
            {"missed", missed},
            {"byWhereHeld", byTarget},
            {"deliveryToPollP50Ms", percentile(toPoll, 0.5)},
            {"deliveryToPollP95Ms", percentile(toPoll, 0.95)},
            {"deliveryToIdleNoticeP50Ms", percentile(toNotice, 0.5)},
            {"deliveryToIdleNoticeP95Ms", percentile(toNotice, 0.95)},
            {"idleNoticeToPollP50Ms", percentile(afterNotice, 0.5)},
            {"idleNoticeToPollP95Ms", percentile(afterNotice, 0.95)}};
}

// Installs that each keep an ids poll held, spread over the instances: asked again on a new
// connection whenever one is answered (the hold ran out) or dropped, until destroyed.
class HeldPolls {
public:
    HeldPolls(const std::vector<std::string>& addresses, int count)
    {
        std::vector<std::thread> registering;
        m_tokens.resize(size_t(count));
        for (size_t part = 0; part < addresses.size(); ++part)
            registering.emplace_back([&, part] {
                httplib::Client client("http://" + addresses[part]);
                client.set_keep_alive(true);
                for (size_t i = part; i < m_tokens.size(); i += addresses.size())
                    if (const auto reply = client.Post("/v1/installs"); reply && reply->status == 200)
                        m_tokens[i] = {addresses[part], QJsonDocument::fromJson(
                                                            QByteArray::fromStdString(reply->body))["token"]
                                                            .toString()
                                                            .toStdString()};
            });
        for (auto& thread : registering)
            thread.join();
        m_holder = std::thread([this] { hold(); });
    }
    ~HeldPolls()
    {
        m_stop = true;
        m_holder.join();
    }
    HeldPolls(const HeldPolls&) = delete;
    HeldPolls& operator=(const HeldPolls&) = delete;

    int held() const { return m_held; }
    QJsonObject figures() const
    {
        return {{"held", m_held.load()}, {"askedAgain", m_askedAgain.load()}, {"refused", m_refused.load()}};
    }

private:
    // A connection with the poll sent on it, -1 when the instance refused it.
    static int ask(const std::pair<std::string, std::string>& install)
    {
        const auto& [address, token] = install;
        const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in peer{};
        peer.sin_family = AF_INET;
        peer.sin_port = htons(uint16_t(std::stoi(address.substr(address.find(':') + 1))));
        peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const std::string body = R"({"since": 0})";
        const std::string request =
            "POST /v1/messages/ids HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " + token +
            "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\n\r\n" + body;
        if (socket >= 0 && ::connect(socket, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) == 0 &&
            ::send(socket, request.data(), request.size(), MSG_NOSIGNAL) == ssize_t(request.size()))
            return socket;
        if (socket >= 0)
            ::close(socket);
        return -1;
    }
    void hold()
    {
        std::vector<pollfd> sockets;
        std::vector<size_t> installs;
        for (size_t i = 0; i < m_tokens.size(); ++i)
            if (!m_tokens[i].second.empty()) {
                sockets.push_back({ask(m_tokens[i]), POLLIN, 0});
                installs.push_back(i);
            }
        while (!m_stop) {
            m_held =
                int(std::count_if(sockets.begin(), sockets.end(), [](const pollfd& s) { return s.fd >= 0; }));
            if (::poll(sockets.data(), sockets.size(), 200) <= 0)
                continue;
            for (size_t i = 0; i < sockets.size(); ++i)
                if (sockets[i].fd >= 0 && sockets[i].revents != 0) {
                    ::close(sockets[i].fd);
                    sockets[i].fd = ask(m_tokens[installs[i]]);
                    ++(sockets[i].fd >= 0 ? m_askedAgain : m_refused);
                }
        }
        for (const pollfd& socket : sockets)
            if (socket.fd >= 0)
                ::close(socket.fd);
    }

    std::vector<std::pair<std::string, std::string>> m_tokens; // instance, install token
    std::thread m_holder;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_held{0}, m_askedAgain{0}, m_refused{0};
};

// One number from the shared database, -1 when it can't be read.
qint64 queryNumber(const QString& database, const QByteArray& query)
{
    PGconn* connection = PQconnectdb(database.toUtf8().constData());
    PGresult* result = PQexec(connection, query.constData());
    const qint64 value = PQntuples(result) == 1 ? QByteArray(PQgetvalue(result, 0, 0)).toLongLong() : -1;
    PQclear(result);
    PQfinish(connection);
    return value;
}

// `count` instances on one PostgreSQL behind nginx, holding `polls` polls of other installs while
// the push is measured; then one killed.
QJsonObject measureCluster(DovecotServer& dovecot, int count, int inboxes, int polls)
{
    PostgresServer postgres;
    QTemporaryDir keys;
    QFile key(keys.filePath(QStringLiteral("credentials.key")));
    if (!postgres.isReady() || !key.open(QIODevice::WriteOnly) || key.write(QByteArray(32, 'k')) != 32 ||
        !key.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return {{"error", postgres.error() + QStringLiteral("; or no key file")}};
    key.close();
    const QString database = postgres.newDatabase();
    const QStringList arguments{"--database", database, "--key-file", key.fileName()};
    std::vector<std::unique_ptr<Backend>> instances;
    instances.push_back(std::make_unique<Backend>(dovecot, arguments));
    for (int index = 1; index < count && instances.front()->hasInstall(); ++index)
        instances.push_back(std::make_unique<Backend>(dovecot, arguments, instances.front()->token()));
    QList<QString> backends;
    std::vector<PollTarget> targets;
    for (const auto& instance : instances) {
        if (!instance->hasInstall())
            return {{"error", "an instance did not start: " + instance->errorOutput()}};
        backends.append(QString::fromStdString(instance->address()));
        targets.push_back({QStringLiteral("instance%1").arg(targets.size() + 1), instance->address()});
    }
    NginxServer nginx(backends);
    if (!nginx.isReady())
        return {{"error", nginx.error()}};
    targets.push_back({QStringLiteral("nginx"), nginx.url().mid(7).toStdString()});

    std::atomic<int> added{0};
    std::vector<std::thread> adders;
    for (int lane = 0; lane < 2 * count; ++lane) // two at once on each instance
        adders.emplace_back([&, lane] {
            for (int user = lane + 1; user <= inboxes; user += 2 * count)
                added += instances[size_t(lane % count)]->addInbox(DovecotServer::user(user));
        });
    for (auto& adder : adders)
        adder.join();
    std::vector<std::string> addresses;
    for (const auto& instance : instances)
        addresses.push_back(instance->address());
    HeldPolls held(addresses, polls);
    std::this_thread::sleep_for(seconds(15)); // every watcher past its backfill, the polls parked
    const QByteArray liveLeases = "SELECT count(*) FROM leases WHERE expires_at > now()";
    const qint64 leasesBefore = queryNumber(database, liveLeases);
    const QJsonObject heldBefore = held.figures();
    QJsonArray watching;
    for (const auto& instance : instances)
        watching.append(instance->figures());
    const QJsonObject push = measurePush(dovecot, instances.front()->token(), targets, inboxes);
    const QJsonObject heldAfter = held.figures();

    // SIGKILL to the last instance; then until every inbox has a live lease of another.
    const QByteArray othersLeases = liveLeases +
                                    " AND holder IN (SELECT id FROM instances WHERE address <> 'http://" +
                                    QByteArray::fromStdString(instances.back()->address()) + "')";
    const qint64 victimLeases = leasesBefore - queryNumber(database, othersLeases);
    const auto killed = Clock::now();
    instances.back()->kill();
    while (queryNumber(database, othersLeases) < inboxes && bench::millisSince(killed) < 120000)
        std::this_thread::sleep_for(milliseconds(100));
    return {{"added", added.load()},
            {"liveLeases", leasesBefore},
            {"heldPollsBeforePush", heldBefore},
            {"heldPollsAfterPush", heldAfter},
            {"instancesWatching", watching},
            {"push", push},
            {"killedInstanceLeases", victimLeases},
            {"sigkillToAllLeasedAgainMs", bench::millisSince(killed)}};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    int instanceCount = 1;
    if (arguments.size() >= 2 && arguments.first() == QStringLiteral("--instances")) {
        instanceCount = std::max(arguments[1].toInt(), 2);
        arguments = arguments.mid(2);
    }
    const int inboxes = !arguments.isEmpty() ? std::max(arguments.first().toInt(), 40) : 1000;
    DovecotServer dovecot({}, inboxes);
    if (!dovecot.isReady()) {
        std::fprintf(stderr, "%s\n", qPrintable(dovecot.error()));
        return 1;
    }
    if (instanceCount > 1) {
        rlimit files{}; // ten thousand held polls need as many descriptors
        if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
            files.rlim_cur = files.rlim_max;
            setrlimit(RLIMIT_NOFILE, &files);
        }
        QJsonObject result = measureCluster(dovecot, instanceCount, inboxes, 10000);
        result.insert("inboxes", inboxes);
        std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Indented).constData());
        return result.contains("error") ? 1 : 0;
    }
    Backend backend(dovecot);
    if (!backend.hasInstall()) {
        std::fprintf(stderr, "tessary-backend did not start\n");
        return 1;
    }
    const QJsonObject idle = backend.figures();
    const auto adding = Clock::now();
    std::atomic<int> added{0};
    std::vector<std::thread> adders;
    for (int lane = 0; lane < 4; ++lane) // a few at once, as the backend checks at most 8
        adders.emplace_back([&, lane] {
            for (int user = lane + 1; user <= inboxes; user += 4)
                added += backend.addInbox(DovecotServer::user(user));
        });
    for (auto& adder : adders)
        adder.join();
    const double addingMs = millisBetween(adding, Clock::now());
    std::this_thread::sleep_for(seconds(10)); // every watcher past its backfill and idling
    const QJsonObject watching = backend.figures();
    const QJsonObject push =
        measurePush(dovecot, backend.token(), {{QStringLiteral("backend"), backend.address()}}, inboxes);
    const QJsonObject afterPush = backend.figures();
    const QJsonObject result{{"inboxes", inboxes},
                             {"added", added.load()},
                             {"addingAllMs", addingMs},
                             {"backendIdle", idle},
                             {"backendWatching", watching},
                             {"backendAfterPush", afterPush},
                             {"push", push},
                             {"sigtermToExitMs", backend.stopMs()}};
    std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Indented).constData());
    if (added < inboxes) // why dovecot turned some away
        std::fprintf(stderr, "%s\n", qPrintable(dovecot.logTail()));
    return 0;
}
