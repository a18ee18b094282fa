#include "PostgresServer.h"
#include "backend/Backend.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/FakeSettingsStore.h"
#include "server/BackendServer.h"
#include "server/CredentialCipher.h"
#include "server/CredentialKeys.h"
#include "server/PostgresStorage.h"
#include "server/SqliteStorage.h"
#include "support/RunTask.h"

#include <QTemporaryDir>

#include <future>

#include <gtest/gtest.h>

using namespace tessary;
using namespace tessary::server;
using namespace tessary::test;

namespace {

PostgresServer& postgres()
{
    return PostgresServer::shared();
}

const QByteArray sharedKey(CredentialCipher::keySize, 'k');

} // namespace

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
    }
}

// Instances starting together make the tables once; a database made by a newer backend is
// refused; a restart of the database server costs the instance nothing but the moment it was away.
TEST(SharedDatabase, TablesAreMadeOnceANewerVersionIsRefusedAndARestartIsSurvived)
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

    postgres().stop();
    ASSERT_TRUE(postgres().start()) << postgres().error().toStdString();
    EXPECT_EQ(instances[1]->installForToken("hash").value(), *install);

    ASSERT_TRUE(PostgresServer::query(url, "UPDATE schema_version SET version = 99"));
    const auto newer = PostgresStorage::open(url);
    ASSERT_FALSE(newer);
    EXPECT_TRUE(newer.error().contains("newer tessary-backend")) << newer.error().toStdString();
}

// The instances of one database seal with one key that none of them makes up: without it, or
// with a key that opens nothing already stored, an instance refuses to start.
TEST(SharedDatabase, EveryInstanceSealsWithTheOneKeyGiven)
{
    ASSERT_TRUE(postgres().isReady()) << postgres().error().toStdString();
    auto storage = PostgresStorage::open(postgres().newDatabase());
    ASSERT_TRUE(storage);
    EXPECT_FALSE(openSharedCredentialKey({}, {}, **storage));
    const auto first = openSharedCredentialKey({}, sharedKey, **storage);
    ASSERT_TRUE(first);
    const auto install = (*storage)->createInstall("hash");
    ASSERT_TRUE(
        (*storage)->addAccount({"a1", *install, "imap", "me@example.com", "imap.example.com", "active"},
                               first->seal("app-password", "a1")));
    EXPECT_TRUE(openSharedCredentialKey({}, sharedKey, **storage));
    const auto wrong = openSharedCredentialKey({}, QByteArray(CredentialCipher::keySize, 'w'), **storage);
    ASSERT_FALSE(wrong);
    EXPECT_TRUE(wrong.error().contains("opens none")) << wrong.error().toStdString();
}

// A database out of reach never costs a client its install: a request is refused for now, and
// the token is kept. (That an install made on one instance is served by the others, the cluster
// tests show.)
TEST(SharedDatabase, ADatabaseOutOfReachCostsNoClientItsInstall)
{
    ASSERT_TRUE(postgres().isReady()) << postgres().error().toStdString();
    QTemporaryDir data;
    ServerConfig config;
    config.dataDir = data.path();
    config.databaseUrl = postgres().newDatabase();
    config.sharedKey = sharedKey;
    auto instance = BackendServer::start(config);
    ASSERT_TRUE(instance) << instance.error().toStdString();
    FakeSettingsStore settings;
    FakeSecretStore secrets;
    Backend client{settings, secrets};
    settings.values.insert(QStringLiteral("backendURL"), (*instance)->url());
    ASSERT_TRUE(runTask(client.accounts()));
    const auto token = secrets.values;
    postgres().stop();
    EXPECT_FALSE(runTask(client.accounts()));
    EXPECT_EQ(secrets.values, token);
    ASSERT_TRUE(postgres().start()) << postgres().error().toStdString();
    EXPECT_TRUE(runTask(client.accounts()));
    EXPECT_EQ(secrets.values, token);
}
