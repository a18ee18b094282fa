#include "PostgresServer.h"
#include "server/CredentialCipher.h"
#include "server/CredentialKeys.h"
#include "server/InboxAssignment.h"
#include "server/PostgresLeases.h"
#include "server/PostgresStorage.h"
#include "server/SqliteStorage.h"

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <mutex>

using namespace tessary;
using namespace tessary::server;
using namespace tessary::test;
using namespace std::chrono_literals;

namespace {

PostgresServer& postgres()
{
    return PostgresServer::shared();
}
const QByteArray sharedKey(CredentialCipher::keySize, 'k');
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
        return QTest::qWaitFor(shared, 5000);
    }
};

} // namespace

// Each inbox is watched by one instance at a time, the live instances share them out about
// evenly, the inboxes of one that stopped are watched again by the others, and an instance lets go
// of an inbox another took. No hand-over forgets the mail the old holder knew.
TEST(InboxLeases, EachInboxHasOneWatcherSharedOutAmongTheLiveInstances)
{
    ASSERT_TRUE(postgres().isReady()) << postgres().error().toStdString();
    auto storage = PostgresStorage::open(postgres().newDatabase());
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

// Both storages keep installs, inboxes and their credentials alike, so a backend moved from one
// to the other behaves the same.
TEST(SharedDatabase, BothStoragesKeepInstallsInboxesAndCredentialsAlike)
{
    ASSERT_TRUE(postgres().isReady()) << postgres().error().toStdString();
    QTemporaryDir dir;
    auto sqlite = SqliteStorage::open(dir.filePath("backend.sqlite"));
    auto shared = PostgresStorage::open(postgres().newDatabase());
    ASSERT_TRUE(sqlite);
    ASSERT_TRUE(shared) << shared.error().toStdString();
    const std::pair<const char*, Storage*> kinds[] = {{"SQLite", sqlite->get()},
                                                      {"PostgreSQL", shared->get()}};
    for (const auto& [name, kind] : kinds) {
        SCOPED_TRACE(name);
        Storage& storage = *kind;
        const auto mine = storage.createInstall("hash-1");
        const auto theirs = storage.createInstall("hash-2");
        ASSERT_TRUE(mine && theirs);
        EXPECT_EQ(storage.installForToken("hash-1").value(), *mine);
        EXPECT_EQ(storage.installForToken("hash-3").value(), std::nullopt);
        EXPECT_FALSE(storage.createInstall("hash-1")) << "one token, one install";

        const StoredAccount active{"a1", *mine, "imap", "me@example.com", "imap.example.com", "active"};
        const StoredAccount pending{"a2", *mine, "gmail", "", "imap.gmail.com", "pending"};
        const StoredAccount other{"b1", *theirs, "imap", "you@example.com", "imap.example.com", "active"};
        ASSERT_TRUE(storage.addAccount(active, "sealed-a1"));
        ASSERT_TRUE(storage.addAccount(pending, ""));
        ASSERT_TRUE(storage.addAccount(other, "sealed-b1"));
        EXPECT_FALSE(storage.addAccount(active, "sealed-again"));
        EXPECT_EQ(storage.credential("a1"), QByteArray("sealed-a1"));

        const auto ids = [](const QList<StoredAccount>& accounts) {
            QStringList found;
            for (const StoredAccount& account : accounts)
                found << account.id + ':' + account.status;
            return found;
        };
        EXPECT_EQ(ids(storage.accounts(*mine)), (QStringList{"a1:active", "a2:pending"}));
        EXPECT_EQ(ids(storage.activeAccounts()), (QStringList{"a1:active", "b1:active"}));

        EXPECT_FALSE(storage.activateAccount("a1", "x@example.com", "s")) << "only a pending inbox";
        EXPECT_TRUE(storage.activateAccount("a2", "me@gmail.com", "sealed-a2"));
        EXPECT_EQ(storage.accounts(*mine).value(1).email, "me@gmail.com");
        EXPECT_TRUE(storage.updateCredential("a1", "sealed-a1-again"));
        EXPECT_EQ(storage.credential("a1"), QByteArray("sealed-a1-again"));

        EXPECT_FALSE(storage.removeAccount(*theirs, "a1")) << "not their inbox";
        EXPECT_TRUE(storage.removeAccount(*mine, "a1"));
        EXPECT_FALSE(storage.credential("a1"));
        // A pending inbox stays while its sign-in can finish: until its window passes, or (a5) when
        // nothing kept says how to finish it.
        ASSERT_TRUE(
            storage.keepSignIn({"state-3", *mine, "a3", "outlook", "verifier-3"}, std::chrono::minutes(15)));
        ASSERT_TRUE(
            storage.keepSignIn({"state-4", *mine, "a4", "gmail", "verifier-4"}, std::chrono::seconds(0)));
        for (const char* pendingId : {"a3", "a4", "a5"})
            ASSERT_TRUE(storage.addAccount({pendingId, *mine, "gmail", "", "imap.gmail.com", "pending"}, ""));
        storage.removeStalePendingAccounts();
        EXPECT_EQ(ids(storage.accounts(*mine)), (QStringList{"a2:active", "a3:pending"}));
        EXPECT_FALSE(storage.takeSignIn("state-4")) << "its window has passed";
        const auto taken = storage.takeSignIn("state-3");
        ASSERT_TRUE(taken);
        EXPECT_EQ(QStringList({taken->installId, taken->accountId, taken->provider, taken->verifier}),
                  QStringList({*mine, "a3", "outlook", "verifier-3"}));
        EXPECT_FALSE(storage.takeSignIn("state-3")) << "a state is good for one answer";
        storage.removeStalePendingAccounts();
        EXPECT_EQ(ids(storage.accounts(*mine)), (QStringList{"a2:active", "a3:pending"}))
            << "kept while the code is exchanged";
        EXPECT_EQ(storage.credentials().size(), 2);
        // A removed inbox's sign-in goes with it: connecting and removing again and again piles up
        // nothing.
        ASSERT_TRUE(
            storage.keepSignIn({"state-6", *mine, "a6", "gmail", "verifier-6"}, std::chrono::minutes(15)));
        ASSERT_TRUE(storage.addAccount({"a6", *mine, "gmail", "", "imap.gmail.com", "pending"}, ""));
        EXPECT_TRUE(storage.removeAccount(*mine, "a6"));
        EXPECT_FALSE(storage.takeSignIn("state-6"));
    }
}

// Instances starting together make the tables once and seal with the one key given, which none of
// them makes up: without it, or with a key that opens nothing already stored, one refuses to start.
// A database made by a newer backend is refused. (That a restart of the database server costs an
// instance nothing, the cluster test's PostgreSQL restart shows.)
TEST(SharedDatabase, TablesAreMadeOnceEveryInstanceSealsWithTheOneKeyAndANewerVersionIsRefused)
{
    ASSERT_TRUE(postgres().isReady()) << postgres().error().toStdString();
    const QString url = postgres().newDatabase();
    std::vector<std::future<Expected<std::unique_ptr<PostgresStorage>, QString>>> starting;
    for (int instance = 0; instance < 3; ++instance)
        starting.push_back(std::async(std::launch::async, [url] { return PostgresStorage::open(url); }));
    std::vector<std::unique_ptr<PostgresStorage>> instances;
    for (auto& start : starting) {
        auto opened = start.get();
        ASSERT_TRUE(opened) << opened.error().toStdString();
        instances.push_back(std::move(*opened));
    }
    const auto install = instances[0]->createInstall("hash");
    ASSERT_TRUE(install);
    EXPECT_EQ(instances[2]->installForToken("hash").value(), *install);

    Storage& storage = *instances[1];
    EXPECT_FALSE(openSharedCredentialKey({}, {}, storage));
    const auto first = openSharedCredentialKey({}, sharedKey, storage);
    ASSERT_TRUE(first);
    ASSERT_TRUE(storage.addAccount({"a1", *install, "imap", "me@example.com", "imap.example.com", "active"},
                                   first->seal("app-password", "a1")));
    EXPECT_TRUE(openSharedCredentialKey({}, sharedKey, storage));
    const auto wrong = openSharedCredentialKey({}, QByteArray(CredentialCipher::keySize, 'w'), storage);
    ASSERT_FALSE(wrong);
    EXPECT_TRUE(wrong.error().contains("opens none")) << wrong.error().toStdString();

    ASSERT_TRUE(PostgresServer::query(url, "UPDATE schema_version SET version = 99"));
    const auto newer = PostgresStorage::open(url);
    ASSERT_FALSE(newer);
    EXPECT_TRUE(newer.error().contains("newer tessary-backend")) << newer.error().toStdString();
}
