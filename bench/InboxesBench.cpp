// Many inboxes watched by one tessary-backend, run alone beside a real dovecot:
//   watch   1,000 inboxes added over HTTP, then the backend's threads and resident memory once all
//           of them idle;
//   push    dovecot-lda delivery → the new id in a held ids poll, p50 and p95 over 40 messages to
//           inboxes across the thousand, beside dovecot's own IDLE notice to a plain IMAP client
//           on the same inbox;
//   stop    SIGTERM to exit with every inbox watched.
// Prints one JSON object. Run by scripts/bench-inboxes [INBOXES].
#include "IdleObserver.h"
#include "server/DovecotServer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

using namespace tessary;
using namespace std::chrono;
using test::DovecotServer;

namespace {

using Clock = steady_clock;

double millisBetween(Clock::time_point from, Clock::time_point to)
{
    return duration<double, std::milli>(to - from).count();
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[std::min(values.size() - 1, size_t(fraction * double(values.size())))];
}

// A wall-clock second to ask "since" from, once it has begun: mail of an earlier round
// (INTERNALDATE counts whole seconds) is never newer than it.
double nextWholeSecond()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    std::this_thread::sleep_for(milliseconds(1000 - now % 1000 + 20));
    return double(now / 1000 + 1);
}

// tessary-backend as its own process on a port the system picks, stopped by its own pid.
class Backend {
public:
    explicit Backend(const DovecotServer& dovecot)
    {
        dovecot.configureBackend(m_data.path());
        m_process.start(QStringLiteral(TESSARY_BACKEND_PROGRAM),
                        {"--listen", "127.0.0.1:0", "--data", m_data.path(), "--no-keyring"});
        if (m_process.waitForReadyRead(10000)) {
            const QByteArray line = m_process.readLine().trimmed();
            m_url = "http://" + line.mid(line.indexOf("http://") + 7).toStdString();
        }
        httplib::Client client(m_url);
        if (const auto reply = client.Post("/v1/installs"); reply && reply->status == 200)
            m_token = QJsonDocument::fromJson(QByteArray::fromStdString(reply->body))["token"]
                          .toString()
                          .toStdString();
    }
    ~Backend()
    {
        m_process.terminate();
        m_process.waitForFinished(60000);
    }
    bool isRunning() const { return !m_token.empty(); }

    bool addInbox(const QString& user)
    {
        const QJsonObject body{{"email", user},
                               {"password", DovecotServer::password},
                               {"host", DovecotServer::hostName},
                               {"port", 993}};
        for (int attempt = 0; attempt < 20; ++attempt) { // 503 while other checks run
            const auto reply = post("/v1/accounts/imap", body, 30);
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
    // A held poll: whether it was answered with an id.
    bool heldPollHasMail(double since)
    {
        const auto reply = post("/v1/messages/ids", QJsonObject{{"since", since}}, 15);
        return reply && reply->status == 200 &&
               !QJsonDocument::fromJson(QByteArray::fromStdString(reply->body))["ids"].toArray().isEmpty();
    }
    QJsonObject process() const
    {
        const qint64 pid = m_process.processId();
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        status.open(QIODevice::ReadOnly);
        QJsonObject result;
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:") || line.startsWith("VmHWM:") || line.startsWith("Threads:"))
                result.insert(QString::fromLatin1(line.left(line.indexOf(':'))),
                              line.mid(line.indexOf(':') + 1).trimmed().split(' ').first().toInt());
        return result;
    }
    double sigtermToExitMs()
    {
        const auto start = Clock::now();
        m_process.terminate();
        m_process.waitForFinished(120000);
        return millisBetween(start, Clock::now());
    }

private:
    httplib::Result post(const char* path, const QJsonObject& body, int timeout)
    {
        httplib::Client client(m_url);
        client.set_read_timeout(timeout);
        client.set_bearer_token_auth(m_token.c_str());
        return client.Post(path, QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
                           "application/json");
    }

    QTemporaryDir m_data;
    QProcess m_process;
    std::string m_url;
    std::string m_token;
};

QByteArray mail(int number)
{
    return "From: Shop <no-reply@shop.example>\r\nSubject: Code " + QByteArray::number(number) +
           "\r\nContent-Type: text/plain\r\n\r\nYour code is " + QByteArray::number(100000 + number) +
           ".\r\n";
}

QJsonObject measurePush(DovecotServer& dovecot, Backend& backend, int inboxes)
{
    constexpr int rounds = 40;
    std::vector<QString> users;
    std::vector<std::unique_ptr<bench::IdleObserver<Clock::time_point>>> observers;
    for (int round = 0; round < rounds; ++round) {
        users.push_back(DovecotServer::user(round * inboxes / rounds + 1));
        observers.push_back(
            std::make_unique<bench::IdleObserver<Clock::time_point>>(dovecot, users.back(), &Clock::now));
    }
    std::this_thread::sleep_for(seconds(2)); // every observer idling
    std::vector<double> toPoll, toNotice, afterNotice;
    int missed = 0;
    for (int round = 0; round < rounds; ++round) {
        const double since = nextWholeSecond();
        Clock::time_point answered;
        std::thread poll([&] {
            if (!backend.heldPollHasMail(since))
                ++missed;
            answered = Clock::now();
        });
        std::this_thread::sleep_for(milliseconds(150)); // the poll is held by now
        const auto delivered = Clock::now();
        dovecot.deliver(users[size_t(round)], mail(round));
        poll.join();
        toPoll.push_back(millisBetween(delivered, answered));
        if (const auto notice = observers[size_t(round)]->noticeAfter(delivered)) {
            toNotice.push_back(millisBetween(delivered, *notice));
            afterNotice.push_back(millisBetween(*notice, answered));
        }
    }
    return {{"messages", rounds},
            {"missed", missed},
            {"deliveryToPollP50Ms", percentile(toPoll, 0.5)},
            {"deliveryToPollP95Ms", percentile(toPoll, 0.95)},
            {"deliveryToIdleNoticeP50Ms", percentile(toNotice, 0.5)},
            {"deliveryToIdleNoticeP95Ms", percentile(toNotice, 0.95)},
            {"idleNoticeToPollP50Ms", percentile(afterNotice, 0.5)},
            {"idleNoticeToPollP95Ms", percentile(afterNotice, 0.95)}};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int inboxes = argc > 1 ? std::max(QByteArray(argv[1]).toInt(), 40) : 1000;
    DovecotServer dovecot({}, inboxes);
    if (!dovecot.isReady()) {
        std::fprintf(stderr, "%s\n", qPrintable(dovecot.error()));
        return 1;
    }
    Backend backend(dovecot);
    if (!backend.isRunning()) {
        std::fprintf(stderr, "tessary-backend did not start\n");
        return 1;
    }
    const QJsonObject idle = backend.process();
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
    const QJsonObject watching = backend.process();
    const QJsonObject push = measurePush(dovecot, backend, inboxes);
    const QJsonObject afterPush = backend.process();
    const QJsonObject result{{"inboxes", inboxes},
                             {"added", added.load()},
                             {"addingAllMs", addingMs},
                             {"backendIdle", idle},
                             {"backendWatching", watching},
                             {"backendAfterPush", afterPush},
                             {"push", push},
                             {"sigtermToExitMs", backend.sigtermToExitMs()}};
    std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Indented).constData());
    if (added < inboxes) // why dovecot turned some away
        std::fprintf(stderr, "%s\n", qPrintable(dovecot.logTail()));
    return 0;
}
