#include "DovecotServer.h"
#include "NginxServer.h"
#include "PostgresServer.h"
#include "backend/BackendTestSupport.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

#include <httplib.h>

#include <future>

using namespace tessary;
using namespace tessary::test;

namespace {

constexpr int inboxCount = 6;

// tessary-backend processes on one PostgreSQL with one key file, three of them behind nginx, and
// inboxCount dovecot inboxes added through nginx by one install; room for a fourth started later.
struct Cluster {
    PostgresServer postgres;
    DovecotServer dovecot;
    QTemporaryDir dir;
    QString database;
    std::unique_ptr<QProcess> instances[4];
    QString urls[4];
    std::unique_ptr<NginxServer> nginx;
    FakeSettingsStore settings;
    FakeSecretStore secrets;
    Backend client{settings, secrets};
    QByteArray token;
    QString delivered; // the last mail deliverToPolls delivered, and the time its polls asked from
    double deliveredSince = 0;

    ~Cluster()
    {
        for (auto& process : instances)
            if (process && process->state() != QProcess::NotRunning) {
                process->terminate();
                process->waitForFinished();
            }
    }

    QString start()
    {
        if (!postgres.isReady() || !dovecot.isReady())
            return postgres.error() + dovecot.error();
        database = postgres.newDatabase();
        QFile key(dir.filePath(QStringLiteral("credentials.key")));
        if (!key.open(QIODevice::WriteOnly) || key.write(QByteArray(32, 'k')) != 32 ||
            !key.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return QStringLiteral("can't write the key file");
        key.close();
        QList<QString> backends;
        for (int index = 0; index < 3; ++index) {
            if (const QString problem = startInstance(index); !problem.isEmpty())
                return problem;
            backends.append(urls[index].mid(QStringLiteral("http://").size()));
        }
        nginx = std::make_unique<NginxServer>(backends);
        if (!nginx->isReady())
            return nginx->error();
        for (int user = 1; user <= inboxCount; ++user)
            if (!runTask(on(nginx->url())
                             .addIMAP(DovecotServer::user(user), DovecotServer::password,
                                      DovecotServer::hostName)))
                return "can't add " + DovecotServer::user(user);
        token = secrets.values.value(Backend::installTokenKey).toUtf8();
        return {};
    }
    QString startInstance(int index)
    {
        const QString data = dir.filePath(QString::number(index));
        if (!QDir().mkpath(data) || !dovecot.configureBackend(data))
            return QStringLiteral("can't configure ") + data;
        auto& process = instances[index] = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(TESSARY_BACKEND),
                       {"--listen", "127.0.0.1:0", "--data", data, "--database", database, "--key-file",
                        dir.filePath(QStringLiteral("credentials.key")), "--no-keyring"});
        const QByteArray serving = "tessary-backend: serving ";
        while (!process->canReadLine() && process->waitForReadyRead(20000)) {
        }
        const QByteArray line = process->readLine().trimmed();
        if (!line.startsWith(serving))
            return QStringLiteral("instance %1 did not start").arg(index);
        urls[index] = QString::fromUtf8(line.mid(serving.size()));
        return {};
    }
    // The app's client, its requests sent to `url`.
    Backend& on(const QString& url)
    {
        settings.values.insert(QStringLiteral("backendURL"), url);
        if (!token.isEmpty()) // every instance is the same backend, which issued the install's token
            secrets.values.insert(client.tokenKey(), QString::fromUtf8(token));
        return client;
    }

    // The first value a query gives in the shared database, -1 when it fails.
    qint64 count(const char* query) const
    {
        return PostgresServer::query(database, query).value_or("-1").toLongLong();
    }
    // Every inbox watched under a live lease, by exactly `holders` instances each holding its share.
    bool sharedOut(int holders, std::chrono::milliseconds within = std::chrono::seconds(15))
    {
        QElapsedTimer timer;
        timer.start();
        const QByteArray query = "SELECT count(*) FROM (SELECT holder, count(*) AS held FROM leases "
                                 "WHERE expires_at > now() GROUP BY holder) AS shares WHERE held BETWEEN " +
                                 QByteArray::number(inboxCount / holders) + " AND " +
                                 QByteArray::number((inboxCount + holders - 1) / holders);
        while (count(query.constData()) != holders ||
               count("SELECT count(*) FROM leases WHERE expires_at > now()") != inboxCount) {
            if (timer.elapsed() > within.count())
                return false;
            QThread::msleep(200);
        }
        return true;
    }

    // A poll for ids since `since`, asked again each time the hold runs out: the ids, how long they
    // took, and whether every ask was answered.
    struct Polled {
        QStringList ids;
        qint64 took = 0;
        bool answered = true;
    };
    std::future<Polled> awaitMail(const QString& url, double since, int seconds = 25) const
    {
        return std::async(std::launch::async, [url, since, seconds, token = token.toStdString()] {
            Polled polled;
            QElapsedTimer timer;
            timer.start();
            while (polled.ids.isEmpty() && timer.elapsed() < seconds * 1000) {
                httplib::Client http(url.toStdString());
                http.set_read_timeout(20);
                const auto reply = http.Post(
                    "/v1/messages/ids", {{"Authorization", "Bearer " + token}},
                    QJsonDocument(QJsonObject{{"since", since}}).toJson().toStdString(), "application/json");
                polled.answered = polled.answered && reply && reply->status == 200;
                if (!reply || reply->status != 200)
                    QThread::msleep(200);
                const QByteArray body = reply ? QByteArray::fromStdString(reply->body) : QByteArray();
                for (const QJsonValue& id : QJsonDocument::fromJson(body)["ids"].toArray())
                    polled.ids.append(id.toString());
            }
            polled.took = timer.elapsed();
            return polled;
        });
    }

    bool deliver(int user, const QByteArray& code)
    {
        return dovecot.deliver(DovecotServer::user(user),
                               "From: shop@shop.example\r\nSubject: Code\r\n\r\nYour code is " + code +
                                   ".\r\n");
    }
    // Arrival times count whole seconds: a second on, the last round's mail is older.
    double nextSecond() const
    {
        QThread::msleep(1100);
        return double(QDateTime::currentSecsSinceEpoch());
    }
    // Delivers a code to `user` while polls are held on `pollUrls`; each must be woken by it, and
    // the same URL must list it.
    void deliverToPolls(int user, const QByteArray& code, const QStringList& pollUrls)
    {
        deliveredSince = nextSecond();
        std::vector<std::future<Polled>> polls;
        for (const QString& url : pollUrls)
            polls.push_back(awaitMail(url, deliveredSince));
        QThread::msleep(300);
        ASSERT_TRUE(deliver(user, code));
        for (std::size_t poll = 0; poll < polls.size(); ++poll) {
            const QString& url = pollUrls[int(poll)];
            SCOPED_TRACE(url.toStdString());
            const Polled polled = polls[poll].get();
            EXPECT_TRUE(polled.answered);
            EXPECT_LT(polled.took, 8000) << "woken by the mail, not the hold's deadline";
            ASSERT_EQ(polled.ids.size(), 1);
            // The instances hear of each other's mail through notices: behind nginx the list may
            // land on one that hears of it a moment after another answered the poll.
            auto listed = runTask(on(url).messages(deliveredSince));
            for (int retry = 0; retry < 20 && url == nginx->url() && !(listed && listed->size() == 1);
                 ++retry) {
                QThread::msleep(100);
                listed = runTask(client.messages(deliveredSince));
            }
            ASSERT_TRUE(listed && listed->size() == 1) << (listed ? int(listed->size()) : -1);
            EXPECT_EQ(listed->first().id, polled.ids.first());
            EXPECT_TRUE(listed->first().text.contains(QString::fromUtf8(code)));
            delivered = polled.ids.first();
        }
    }
    // An instance holds one poll per install, so one client's polls on each go in a round of their own.
    QStringList direct() const { return {urls[0], urls[1], urls[2]}; }
};

} // namespace

// Behind nginx the instances share the inboxes out; mail to any inbox wakes a poll held on any
// instance, directly or through nginx, and is listed there; a killed instance's inboxes are watched
// again by the others within 15 s while nginx keeps answering polls; one started in its place lists
// the mail from before, and mail trashed through any instance leaves every list.
TEST(Cluster, SharesInboxesReachesEveryPollAndSurvivesAKilledInstance)
{
    Cluster cluster;
    const QString problem = cluster.start();
    ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();
    ASSERT_TRUE(cluster.sharedOut(3));
    cluster.deliverToPolls(1, "4711", cluster.direct());
    cluster.deliverToPolls(inboxCount, "4712", {cluster.nginx->url()});

    // A mail to one of the killed instance's inboxes while a poll is held through nginx.
    const QByteArray userOfVictim = "SELECT substring(email from 'user([0-9]+)@') FROM accounts "
                                    "JOIN leases ON account_id = accounts.id JOIN instances ON holder = "
                                    "instances.id WHERE address = '" +
                                    cluster.urls[0].toUtf8() + "' LIMIT 1";
    const int user = int(cluster.count(userOfVictim.constData()));
    ASSERT_GT(user, 0) << "the instance to kill watches an inbox";
    auto poll = cluster.awaitMail(cluster.nginx->url(), cluster.nextSecond());
    QThread::msleep(300);
    cluster.instances[0]->kill();
    cluster.instances[0]->waitForFinished();
    ASSERT_TRUE(cluster.deliver(user, "5150"));
    EXPECT_TRUE(cluster.sharedOut(2));
    const Cluster::Polled polled = poll.get();
    EXPECT_TRUE(polled.answered);
    EXPECT_EQ(polled.ids.size(), 1);
    EXPECT_LT(polled.took, 20000);
    cluster.deliverToPolls(user, "5151", {cluster.urls[1], cluster.urls[2]});
    cluster.deliverToPolls(user, "5152", {cluster.nginx->url()});

    // One started in the killed one's place lists the mail from before it listened, and takes its share.
    ASSERT_EQ(cluster.startInstance(3), QString());
    const auto listedCount = [&](int index) {
        const auto listed = runTask(cluster.on(cluster.urls[index]).messages(cluster.deliveredSince));
        return listed ? listed->size() : -1;
    };
    EXPECT_EQ(listedCount(3), 1);
    EXPECT_TRUE(cluster.sharedOut(3));
    // Trashed through an instance that does not watch its inbox, it leaves every list, the watcher's too.
    const QByteArray holderOfUser = "SELECT address FROM accounts JOIN leases ON account_id = accounts.id "
                                    "JOIN instances ON holder = instances.id WHERE email = '" +
                                    DovecotServer::user(user).toUtf8() + "'";
    const auto holder = PostgresServer::query(cluster.database, holderOfUser.constData());
    ASSERT_TRUE(holder && !holder->isEmpty());
    const int trashing = cluster.urls[1].toUtf8() == *holder ? 2 : 1;
    ASSERT_TRUE(runTask(cluster.on(cluster.urls[trashing]).trash(cluster.delivered)));
    for (const int index : {1, 2, 3})
        EXPECT_TRUE(QTest::qWaitFor([&] { return listedCount(index) == 0; }, 3000)) << index;
}

// PostgreSQL restarted while polls are held: the instances answer them, keep the client's install,
// reconnect, renew their place and leases, and the next mail reaches polls on every instance (those
// that do not watch the inbox hear of it through news, on a connection opened again).
TEST(Cluster, KeepsServingThroughAPostgresRestart)
{
    Cluster cluster;
    const QString problem = cluster.start();
    ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();
    ASSERT_TRUE(cluster.sharedOut(3));
    const double since = double(QDateTime::currentSecsSinceEpoch());
    std::vector<std::future<Cluster::Polled>> held;
    for (const QString& url : cluster.direct())
        held.push_back(cluster.awaitMail(url, since, 1));
    QThread::msleep(500);
    cluster.postgres.stop();
    for (auto& poll : held) {
        const Cluster::Polled polled = poll.get();
        EXPECT_TRUE(polled.answered && polled.ids.isEmpty()) << "held polls answered at their deadline";
        EXPECT_GT(polled.took, 5000) << "held through the restart, not turned away";
    }
    // A request meanwhile is refused for now, never as a 401 that would cost the client its install.
    EXPECT_FALSE(runTask(cluster.on(cluster.urls[0]).accounts()));
    EXPECT_EQ(cluster.secrets.values.value(cluster.client.tokenKey()), QString::fromUtf8(cluster.token));
    ASSERT_TRUE(cluster.postgres.start());
    EXPECT_TRUE(cluster.sharedOut(3));
    EXPECT_EQ(cluster.count("SELECT count(*) FROM instances WHERE seen_at > now() - interval '9 seconds'"),
              3);
    cluster.deliverToPolls(2, "6060", cluster.direct());
}
