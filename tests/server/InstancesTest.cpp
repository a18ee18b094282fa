#include "DovecotServer.h"
#include "FakeOAuthServer.h"
#include "PostgresServer.h"
#include "backend/Backend.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/FakeSettingsStore.h"
#include "server/BackendServer.h"
#include "server/CredentialCipher.h"
#include "server/InboxAssignment.h"
#include "server/PostgresLeases.h"
#include "server/PostgresStorage.h"

#include "support/RunTask.h"

#include <QElapsedTimer>
#include <QHash>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

using namespace tessary;
using namespace tessary::server;
using namespace tessary::test;
using namespace std::chrono_literals;

namespace {

const LeaseTimings quickLeases{100ms, 600ms};

// Which instance watches which inbox, as the instances' watchers would see it.
struct Watchers {
    std::mutex mutex;
    QHash<QString, QStringList> byInbox; // inbox → the instances watching it
    QStringList forgotten;               // inboxes whose mail an instance forgot, as for a removed one

    class Of : public InboxWatching {
    public:
        Of(Watchers& all, QString instance)
            : m_all(all)
            , m_instance(std::move(instance))
        {
        }
        void watchStored(const StoredAccount& account) override { watch(account, {}); }
        void watch(const StoredAccount& account, const QString&) override
        {
            std::lock_guard lock(m_all.mutex);
            if (!m_all.byInbox[account.id].contains(m_instance))
                m_all.byInbox[account.id].append(m_instance);
        }
        void unwatch(const QString& accountId) override
        {
            release(accountId);
            std::lock_guard lock(m_all.mutex);
            m_all.forgotten.append(accountId);
        }
        void release(const QString& accountId) override
        {
            std::lock_guard lock(m_all.mutex);
            m_all.byInbox[accountId].removeAll(m_instance);
        }

    private:
        Watchers& m_all;
        const QString m_instance;
    };

    // Within 5 s every inbox has exactly one watcher and no instance watches more than `share`.
    bool sharedOut(const QStringList& inboxes, int share)
    {
        const auto shared = [&] {
            std::lock_guard lock(mutex);
            QHash<QString, int> load;
            for (const QString& inbox : inboxes) {
                if (byInbox.value(inbox).size() != 1)
                    return false;
                ++load[byInbox.value(inbox).first()];
            }
            return std::all_of(load.begin(), load.end(), [&](int held) { return held <= share; });
        };
        QElapsedTimer timer;
        timer.start();
        while (!shared() && timer.elapsed() < 5000)
            QThread::msleep(20);
        return shared();
    }
};

} // namespace

// Each inbox is watched by one instance at a time, the live instances share them out about
// evenly, the inboxes of one that stopped are watched again by the others, and an instance lets go
// of an inbox another took. No hand-over forgets the mail the old holder knew.
TEST(InboxLeases, EachInboxHasOneWatcherSharedOutAmongTheLiveInstances)
{
    ASSERT_TRUE(PostgresServer::shared().isReady()) << PostgresServer::shared().error().toStdString();
    auto storage = PostgresStorage::open(PostgresServer::shared().newDatabase());
    ASSERT_TRUE(storage) << storage.error().toStdString();
    const auto install = (*storage)->createInstall("hash");
    QStringList inboxes;
    for (int number = 0; number < 10; ++number) {
        const StoredAccount inbox{newStorageId(),   *install,           "imap",
                                  "me@example.com", "imap.example.com", "active"};
        ASSERT_TRUE((*storage)->addAccount(inbox, "sealed"));
        inboxes.append(inbox.id);
    }
    Watchers watchers;
    std::vector<std::unique_ptr<Watchers::Of>> watching;
    std::vector<std::unique_ptr<InboxAssignment>> instances;
    const auto startInstance = [&] {
        const QString name = QStringLiteral("instance-%1").arg(instances.size());
        watching.push_back(std::make_unique<Watchers::Of>(watchers, name));
        instances.push_back(std::make_unique<InboxAssignment>(
            **storage, *watching.back(), std::make_unique<PostgresLeaseBoard>((*storage)->database()), name,
            "http://" + name, quickLeases));
        instances.back()->start();
    };
    for (int count = 0; count < 3; ++count)
        startInstance();
    EXPECT_TRUE(watchers.sharedOut(inboxes, 4)) << "10 inboxes over 3 instances";

    // A stop gives the leases back at once. (That a killed instance's leases run out and are
    // taken, and that one started later gets its share, the cluster test shows.)
    instances[0]->stop();
    EXPECT_TRUE(watchers.sharedOut(inboxes, 5));

    // An inbox given a new password is watched at once by the instance that heard of it, and the
    // instance that held it lets it go; the one now holding more than its share gives one back.
    QString moved;
    {
        std::lock_guard lock(watchers.mutex);
        moved = *std::ranges::find_if(inboxes, [&](const QString& inbox) {
            return !watchers.byInbox.value(inbox).contains("instance-1");
        });
    }
    instances[1]->watchNow({moved, *install, "imap", "me@example.com", "imap.example.com", "active"}, "new");
    {
        std::lock_guard lock(watchers.mutex);
        EXPECT_TRUE(watchers.byInbox.value(moved).contains("instance-1"));
    }
    EXPECT_TRUE(watchers.sharedOut(inboxes, 5));
    // Other instances' lists may still name the old holder of mail taken before a hand-over.
    std::lock_guard lock(watchers.mutex);
    EXPECT_EQ(watchers.forgotten, QStringList()) << "an inbox changing hands keeps its mail listed";
}

// The browser's way back from a sign-in may reach any instance: one that did not begin it finishes
// it, and an instance starting meanwhile leaves it alone.
TEST(Instances, ASignInBegunOnOneInstanceFinishesOnAnother)
{
    ASSERT_TRUE(PostgresServer::shared().isReady()) << PostgresServer::shared().error().toStdString();
    const QString email = DovecotServer::user(2);
    FakeOAuthServer oauth(email);
    DovecotServer dovecot(oauth.url());
    ASSERT_TRUE(dovecot.isReady()) << dovecot.error().toStdString();
    const QString database = PostgresServer::shared().newDatabase();
    QTemporaryDir dataDirs[3];
    std::unique_ptr<BackendServer> instances[3];
    const auto startInstance = [&](int index, const QString& publicUrl) {
        ASSERT_TRUE(
            dovecot.configureBackend(dataDirs[index].path(), oauth.backendConfig(DovecotServer::hostName)));
        ServerConfig config;
        config.dataDir = dataDirs[index].path();
        config.databaseUrl = database;
        config.sharedKey = QByteArray(CredentialCipher::keySize, 'k');
        config.publicUrl = publicUrl;
        auto started = BackendServer::start(config);
        ASSERT_TRUE(started) << started.error().toStdString();
        instances[index] = std::move(*started);
    };
    startInstance(1, {});
    startInstance(0, instances[1]->url()); // the load balancer sends the browser back to the other
    FakeSettingsStore settings;
    FakeSecretStore secrets;
    Backend client{settings, secrets};
    settings.values.insert(QStringLiteral("backendURL"), instances[0]->url());
    const auto link = runTask(client.connect(QStringLiteral("gmail")));
    ASSERT_TRUE(link) << link.error().message.toStdString();
    startInstance(2, {});
    EXPECT_EQ(runTask(client.accounts()).value(),
              (QList<Account>{{link->accountId, "gmail", std::nullopt, "pending"}}))
        << "a start drops no other instance's sign-in under way";

    EXPECT_EQ(QUrlQuery(link->url).queryItemValue("redirect_uri", QUrl::FullyDecoded),
              instances[1]->url() + "/v1/oauth/callback");
    ASSERT_EQ(FakeOAuthServer::signInInBrowser(link->url), 200);
    EXPECT_EQ(runTask(client.accounts()).value(),
              (QList<Account>{{link->accountId, "gmail", email, "active"}}));
}
