// Many inboxes watched by one tessary-backend, run alone beside a real dovecot:
//   watch   1,000 inboxes added over HTTP, then the backend's threads and resident memory once all
//           of them idle;
//   push    dovecot-lda delivery → the new id in a held ids poll, p50 and p95 over 40 messages to
//           inboxes across the thousand, beside dovecot's own IDLE notice to a plain IMAP client
//           on the same inbox;
//   stop    SIGTERM to exit with every inbox watched.
// Prints one JSON object. Run by scripts/bench-inboxes [INBOXES].
#include "BackendProcess.h"
#include "IdleObserver.h"
#include "server/DovecotServer.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

using bench::Clock;
using bench::nextWholeSecond;
using bench::percentile;

double millisBetween(Clock::time_point from, Clock::time_point to)
{
    return duration<double, std::milli>(to - from).count();
}

// tessary-backend configured for dovecot, with one install whose inboxes are dovecot's users.
class Backend : public bench::BackendProcess {
public:
    explicit Backend(const DovecotServer& dovecot)
        : BackendProcess([&dovecot](const QString& dataDir) { return dovecot.configureBackend(dataDir); })
        , m_token(isRunning() ? install() : std::string())
    {
    }
    bool hasInstall() const { return !m_token.empty(); }

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
    // A held poll: whether it was answered with an id.
    bool heldPollHasMail(double since)
    {
        const auto reply = post(m_token, "/v1/messages/ids", QJsonObject{{"since", since}}, 15);
        return reply && reply->status == 200 &&
               !QJsonDocument::fromJson(QByteArray::fromStdString(reply->body))["ids"].toArray().isEmpty();
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
    const QJsonObject push = measurePush(dovecot, backend, inboxes);
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
