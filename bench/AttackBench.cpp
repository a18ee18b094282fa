// tessary-backend under attack: each attack against a backend of its own, started alone, while a
// normal client (a valid token) asks for its inbox list every 100 ms.
//   requests     four attackers at once, again and again for 10 s, to /v1/installs: a 300 KB and a
//                1 MB gzip body (300 MB and 1 GB once inflated), a 100 MB chunked body, 300 MB of
//                header lines; the statuses they were refused with;
//   mail server  an inbox on a scripted IMAP server that, once the inbox has been checked, sends a
//                line that never ends at SELECT, 1 MB/s without a line end during IDLE, or three
//                50 MB messages; for 20 s, and when the inbox was listed as failing.
// For each: the backend's resident memory at its peak over its idle one, and the normal client's
// slowest answer. Prints one JSON object; with names as arguments, only those attacks. Run by
// scripts/bench-attacks.
#include "BackendProcess.h"
#include "server/FakeImapServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

using namespace tessary;
using namespace std::chrono;
using bench::BackendProcess;
using bench::Clock;
using bench::millisSince;
using test::FakeImapServer;

namespace {

constexpr int attackers = 4;
constexpr auto requestAttackTime = seconds(10);
constexpr auto mailAttackTime = seconds(20);

// What the normal client saw during an attack.
struct Served {
    int requests = 0;
    int failed = 0; // no answer, or not 200
    double worstMs = 0;
    double inboxFailingAfterMs = -1; // the inbox first listed with "status": "error"
    QString inboxError;
};

// Asks for the inbox list every 100 ms until `stop`, timing every answer.
Served serveNormally(BackendProcess& backend, const std::string& token, const std::atomic<bool>& stop,
                     Clock::time_point attackStart)
{
    Served served;
    while (!stop) {
        const auto asked = Clock::now();
        const auto reply = backend.get(token, "/v1/accounts", 30);
        served.worstMs = std::max(served.worstMs, millisSince(asked));
        ++served.requests;
        if (!reply || reply->status != 200) {
            ++served.failed;
        } else if (served.inboxFailingAfterMs < 0) {
            for (const QJsonValue account :
                 QJsonDocument::fromJson(QByteArray::fromStdString(reply->body))["accounts"].toArray())
                if (account["status"] == QStringLiteral("error")) {
                    served.inboxFailingAfterMs = millisSince(attackStart);
                    served.inboxError = account["error"].toString();
                }
        }
        std::this_thread::sleep_until(asked + milliseconds(100));
    }
    return served;
}

// A backend at rest: started, one install, a few requests answered, then its resident memory.
struct IdleBackend {
    BackendProcess& backend;
    std::string token;
    int idleRssKb = 0;

    explicit IdleBackend(BackendProcess& started)
        : backend(started)
        , token(started.isRunning() ? started.install() : std::string())
    {
        for (int i = 0; i < 20 && !token.empty(); ++i)
            backend.get(token, "/v1/accounts", 5);
        std::this_thread::sleep_for(seconds(1));
        idleRssKb = backend.figures().value("VmRSS").toInt();
    }
};

QJsonObject servedFigures(const IdleBackend& idle, const Served& served)
{
    const int peakKb = idle.backend.figures().value("VmHWM").toInt();
    return {{"idleRssKb", idle.idleRssKb},
            {"peakRssKb", peakKb},
            {"peakOverIdleMb", double(peakKb - idle.idleRssKb) / 1024},
            {"normalClientRequests", served.requests},
            {"normalClientFailed", served.failed},
            {"normalClientWorstMs", served.worstMs}};
}

// ---- Requests ----

// One hostile request: `head`, then `piece` `times` over and `tail`, in slices, until the server
// answers or hangs up. The status it answered with; 0 when none.
int sendHostile(uint16_t port, const std::string& head, const std::string& piece, qint64 times,
                const std::string& tail)
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (socket < 0 || ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        if (socket >= 0)
            ::close(socket);
        return 0;
    }
    const auto answered = [socket](int waitMs) {
        pollfd readable{socket, POLLIN, 0};
        return ::poll(&readable, 1, waitMs) > 0;
    };
    const auto sendAll = [&](const std::string& data) {
        for (size_t at = 0; at < data.size();) {
            if (answered(0))
                return false;
            const ssize_t sent =
                ::send(socket, data.data() + at, std::min<size_t>(data.size() - at, 64 * 1024), MSG_NOSIGNAL);
            if (sent <= 0)
                return false;
            at += size_t(sent);
        }
        return true;
    };
    bool whole = sendAll(head);
    for (qint64 i = 0; whole && i < times; ++i)
        whole = sendAll(piece);
    if (whole)
        sendAll(tail);
    int status = 0;
    char reply[4096];
    if (answered(15000))
        if (const ssize_t got = ::recv(socket, reply, sizeof(reply) - 1, 0); got > 12)
            status = std::atoi(reply + 9); // "HTTP/1.1 413 ..."
    ::close(socket);
    return status;
}

// `inflated` zero bytes as gzip: a body that is small on the wire and huge once inflated.
std::string gzipBomb(qint64 inflated)
{
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    std::vector<Bytef> zeros(1024 * 1024, 0);
    std::vector<Bytef> out(1024 * 1024);
    std::string compressed;
    for (qint64 left = inflated; left > 0 || stream.avail_in > 0;) {
        const qint64 take = std::min<qint64>(left, qint64(zeros.size()));
        left -= take;
        stream.next_in = zeros.data();
        stream.avail_in = uInt(take);
        const int flush = left > 0 ? Z_NO_FLUSH : Z_FINISH;
        do {
            stream.next_out = out.data();
            stream.avail_out = uInt(out.size());
            deflate(&stream, flush);
            compressed.append(reinterpret_cast<const char*>(out.data()), out.size() - stream.avail_out);
        } while (stream.avail_out == 0);
        if (flush == Z_FINISH)
            break;
    }
    deflateEnd(&stream);
    return compressed;
}

struct RequestAttack {
    const char* name;
    std::function<int(uint16_t port)> once; // the status one attempt was answered with
    QJsonObject about;
};

std::vector<RequestAttack> requestAttacks()
{
    std::vector<RequestAttack> attacks;
    for (const auto& [name, inflated] :
         {std::pair{"gzip300KB", qint64(300) << 20}, {"gzip1MB", qint64(1) << 30}}) {
        const auto body = std::make_shared<std::string>(gzipBomb(inflated));
        const std::string head =
            "POST /v1/installs HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
            "Content-Encoding: gzip\r\nContent-Length: " +
            std::to_string(body->size()) + "\r\n\r\n";
        attacks.push_back(
            {name, [head, body](uint16_t port) { return sendHostile(port, head, *body, 1, {}); },
             QJsonObject{{"compressedBytes", qint64(body->size())}, {"inflatedBytes", inflated}}});
    }
    const std::string chunk = "10000\r\n" + std::string(0x10000, '{') + "\r\n";
    attacks.push_back({"chunked100MB",
                       [chunk](uint16_t port) {
                           return sendHostile(
                               port,
                               "POST /v1/installs HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
                               "application/json\r\nTransfer-Encoding: chunked\r\n\r\n",
                               chunk, 1600, "0\r\n\r\n");
                       },
                       QJsonObject{{"bodyBytes", 1600 * 0x10000}}});
    const std::string headerLine = "X-Filler: " + std::string(1000, 'h') + "\r\n";
    attacks.push_back({"headers300MB",
                       [headerLine](uint16_t port) {
                           return sendHostile(port, "POST /v1/installs HTTP/1.1\r\nHost: 127.0.0.1\r\n",
                                              headerLine, (qint64(300) << 20) / qint64(headerLine.size()),
                                              "\r\n");
                       },
                       QJsonObject{{"headerBytes", qint64(300) << 20}}});
    return attacks;
}

QJsonObject runRequestAttack(const RequestAttack& attack)
{
    BackendProcess backend([](const QString&) { return true; });
    IdleBackend idle(backend);
    if (idle.token.empty())
        return {{"error", "tessary-backend did not start"}};
    std::atomic<bool> stop{false};
    const auto start = Clock::now();
    Served served;
    std::thread normal([&] { served = serveNormally(backend, idle.token, stop, start); });
    std::mutex mutex;
    std::map<int, int> statuses;
    std::vector<std::thread> threads;
    for (int i = 0; i < attackers; ++i)
        threads.emplace_back([&] {
            while (Clock::now() - start < requestAttackTime) {
                const int status = attack.once(backend.port());
                std::lock_guard lock(mutex);
                ++statuses[status];
            }
        });
    for (auto& thread : threads)
        thread.join();
    stop = true;
    normal.join();
    QJsonObject refused;
    for (const auto& [status, count] : statuses)
        refused.insert(status ? QString::number(status) : QStringLiteral("noAnswer"), count);
    QJsonObject result = servedFigures(idle, served);
    result.insert("attackers", attackers);
    result.insert("answeredWith", refused);
    for (auto it = attack.about.begin(); it != attack.about.end(); ++it)
        result.insert(it.key(), it.value());
    return result;
}

// ---- A hostile mail server ----

// Three messages of 50 MB each, newly arrived; each fetch sends all of one however little was asked.
QByteArray threeHugeMessages(const QByteArray& tag, const QByteArray& command)
{
    static const QByteArray body = "Subject: Huge\r\n\r\n" + QByteArray(50 * 1024 * 1024, 'm');
    const QByteArray verb = command.toUpper();
    const QByteArray ok = tag + " OK done\r\n";
    if (verb.startsWith("SELECT"))
        return "* 3 EXISTS\r\n* OK [UIDVALIDITY 7] v\r\n* OK [UIDNEXT 4] n\r\n" + ok;
    if (verb.startsWith("UID SEARCH"))
        return "* SEARCH 1 2 3\r\n" + ok;
    if (verb.startsWith("UID FETCH") && verb.contains("BODY")) {
        const QByteArray uid = verb.mid(10, 1);
        return "* " + uid + " FETCH (UID " + uid + ' ' + FakeImapServer::arrivedNow() + " BODY[]<0> {" +
               QByteArray::number(body.size()) + "}\r\n" + body + ")\r\n" + ok;
    }
    if (verb.startsWith("UID FETCH")) {
        QByteArray arrivals;
        for (const char* uid : {"1", "2", "3"})
            arrivals +=
                QByteArray("* ") + uid + " FETCH (UID " + uid + ' ' + FakeImapServer::arrivedNow() + ")\r\n";
        return arrivals + ok;
    }
    return FakeImapServer::honestEmptyInbox(tag, command);
}

struct MailAttack {
    const char* name;
    FakeImapServer::Script hostile; // what the server says once the inbox has been checked
};

std::vector<MailAttack> mailAttacks()
{
    return {
        {"endlessLineAtSelect",
         [](const QByteArray& tag, const QByteArray& command) {
             return command.toUpper().startsWith("SELECT")
                        ? "* OK " + FakeImapServer::endless(QByteArray(64 * 1024, 'x'))
                        : FakeImapServer::honestEmptyInbox(tag, command);
         }},
        {"oneMBPerSecondInIdle",
         [](const QByteArray& tag, const QByteArray& command) {
             return command.toUpper() == "IDLE"
                        ? "+ idling\r\n* OK " + FakeImapServer::endless(QByteArray(1024, 'x'), 1024 * 1024)
                        : FakeImapServer::honestEmptyInbox(tag, command);
         }},
        {"threeMessagesOf50MB", threeHugeMessages},
    };
}

QJsonObject runMailAttack(const MailAttack& attack)
{
    // The first connection is the check of the new inbox: it meets an honest server.
    auto connections = std::make_shared<std::atomic<int>>(0);
    FakeImapServer server(
        [connections, hostile = attack.hostile](const QByteArray& tag, const QByteArray& command) {
            if (tag.isEmpty())
                ++*connections;
            return *connections > 1 ? hostile(tag, command) : FakeImapServer::honestEmptyInbox(tag, command);
        });
    if (!server.isReady())
        return {{"error", "the scripted IMAP server did not start"}};
    BackendProcess backend([&server](const QString& dataDir) {
        const QJsonObject config{
            {"imapCAFile", server.certificateFile()},
            {"imapHosts",
             QJsonObject{{FakeImapServer::hostName, QStringLiteral("127.0.0.1:%1").arg(server.port())}}}};
        QFile file(QDir(dataDir).filePath(QStringLiteral("backend.json")));
        return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(config).toJson()) > 0;
    });
    IdleBackend idle(backend);
    if (idle.token.empty())
        return {{"error", "tessary-backend did not start"}};
    std::atomic<bool> stop{false};
    const auto start = Clock::now();
    Served served;
    std::thread normal([&] { served = serveNormally(backend, idle.token, stop, start); });
    const auto added = backend.post(idle.token, "/v1/accounts/imap",
                                    {{"email", "you@fake.example"},
                                     {"password", "app-password"},
                                     {"host", FakeImapServer::hostName},
                                     {"port", 993}},
                                    30);
    std::this_thread::sleep_until(start + mailAttackTime);
    stop = true;
    normal.join();
    const auto messages = backend.post(idle.token, "/v1/messages", {{"since", 0}}, 30);
    QJsonObject result = servedFigures(idle, served);
    result.insert("inboxAdded", added && added->status == 200);
    result.insert("connections", connections->load());
    result.insert("inboxFailingAfterMs", served.inboxFailingAfterMs);
    result.insert("inboxError", served.inboxError);
    result.insert("messagesStatus", messages ? messages->status : 0);
    result.insert("messagesReplyBytes", messages ? qint64(messages->body.size()) : 0);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList chosen = app.arguments().mid(1);
    QJsonObject result;
    for (const RequestAttack& attack : requestAttacks())
        if (chosen.isEmpty() || chosen.contains(attack.name))
            result.insert(attack.name, runRequestAttack(attack));
    for (const MailAttack& attack : mailAttacks())
        if (chosen.isEmpty() || chosen.contains(attack.name))
            result.insert(attack.name, runMailAttack(attack));
    std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Indented).constData());
    return 0;
}
