#include "server/CredentialKeys.h"
#include "server/BackendServer.h"
#include "server/MailService.h"
#include "server/MessageCache.h"
#include "server/SqliteStorage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <httplib.h>

#include <future>

using namespace tessary;
using namespace tessary::server;

namespace {

QByteArray filesOf(const QString& database)
{
    QByteArray all;
    for (const QString& path : {database, database + "-wal"}) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            all += file.readAll();
    }
    return all;
}

// A keyring in one of the states a desktop's can be in at a start.
enum class Keyring { working, locked, silent, refusesStore, none };

struct FakeKeyring : KeyVault {
    Keyring state = Keyring::working;
    std::optional<QByteArray> held;

    Lookup load(const QString&) override
    {
        if (state == Keyring::locked || state == Keyring::silent)
            return {state == Keyring::locked ? Answer::locked : Answer::silent, {}};
        return held ? Lookup{Answer::found, *held} : Lookup{Answer::absent, {}};
    }
    bool store(const QString&, const QByteArray& key) override
    {
        held = state == Keyring::working ? std::optional(key) : held;
        return state == Keyring::working;
    }
    QString location() const override { return {}; }
};

} // namespace

// Whatever the keyring did at earlier starts, every credential sealed at any of them opens once
// it works again, and the weaker key file is gone from then on. A start never gets a key that
// leaves a stored credential shut: it waits for a keyring that holds the key but does not give it.
TEST(CredentialKeys, NoCredentialIsLostAcrossKeyringStates)
{
    struct Row {
        const char* name;
        QList<Keyring> starts;
        bool fileAfter; // after those starts, before the one with a working keyring
    };
    const Row rows[] = {
        {"keyring from the start", {Keyring::working}, false},
        {"no keyring: the file", {Keyring::none}, true},
        {"a file from before the keyring moves in", {Keyring::none, Keyring::working}, false},
        {"locked at one start in between: waited for", {Keyring::working, Keyring::locked}, false},
        {"silent at one start in between: waited for", {Keyring::working, Keyring::silent}, false},
        {"locked before any inbox: the file", {Keyring::locked, Keyring::locked}, true},
        {"refuses to store: the file stays", {Keyring::none, Keyring::refusesStore}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir data;
        auto storage = SqliteStorage::open(data.filePath("db.sqlite")).value();
        const QString install = storage->createInstall("hash").value();
        FakeKeyring keyring;
        int sealed = 0;
        const auto start = [&](Keyring state) {
            keyring.state = state;
            auto cipher =
                openCredentialKeys(data.path(), state == Keyring::none ? nullptr : &keyring, *storage);
            if (!cipher) {
                EXPECT_TRUE(cipher.error().passing) << cipher.error().message.toStdString();
                return;
            }
            for (int account = 1; account <= sealed; ++account) {
                const QString id = QString::number(account);
                EXPECT_TRUE(cipher->open(storage->credential(id).value(), id.toUtf8()))
                    << "inbox " << account;
            }
            const QString id = QString::number(++sealed);
            ASSERT_TRUE(storage->addAccount({id, install, "imap", "a@b", "h", "active"},
                                            cipher->seal("secret " + id.toUtf8(), id.toUtf8())));
        };
        for (Keyring state : row.starts)
            start(state);
        const QString keyFile = QDir(data.path()).filePath("credentials.key");
        EXPECT_EQ(QFile::exists(keyFile), row.fileAfter);
        EXPECT_EQ((QFile::permissions(keyFile) & 0x0077).toInt(), 0) << "owner-only, when there";

        start(Keyring::working);
        EXPECT_FALSE(QFile::exists(keyFile));
        ASSERT_TRUE(keyring.held);
        const CredentialCipher keyringAlone(*keyring.held);
        for (int account = 1; account <= sealed; ++account) {
            const QString id = QString::number(account);
            EXPECT_EQ(keyringAlone.open(storage->credential(id).value(), id.toUtf8()),
                      "secret " + id.toUtf8());
        }
    }
}

// The built-in backend waits for a locked keyring that holds its key, and tells every request
// meanwhile why, rather than leave it unanswered.
TEST(CredentialKeys, TheBuiltInBackendSaysItWaitsForALockedKeyring)
{
    QTemporaryDir data;
    auto keyring = std::make_shared<FakeKeyring>();
    keyring->state = Keyring::locked;
    keyring->held = randomBytes(CredentialCipher::keySize);
    {
        auto storage = SqliteStorage::open(data.filePath("tessary-backend.sqlite")).value();
        const QString install = storage->createInstall("hash").value();
        ASSERT_TRUE(storage->addAccount({"a1", install, "imap", "a@b", "h", "active"},
                                        CredentialCipher(*keyring->held).seal("pw", "a1")));
    }
    auto backend = startEmbeddedBackend(data.path(), keyring);
    ASSERT_TRUE(backend) << backend.error().toStdString();
    const auto reply = httplib::Client((*backend)->url().toStdString()).Get("/v1/accounts");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 503);
    EXPECT_NE(reply->body.find("The keyring is locked; unlock it to reach your inboxes"), std::string::npos);
}

// A credential the backend no longer holds is nowhere in its files: not in the database's freed
// space, not in the write-ahead log.
TEST(BackendStorage, ARemovedOrReplacedCredentialLeavesNoTraceInTheFiles)
{
    struct Row {
        const char* name;
        std::function<bool(SqliteStorage&, const StoredAccount&)> forget;
    };
    const Row rows[] = {
        {"removed with its inbox",
         [](SqliteStorage& storage, const StoredAccount& account) {
             return storage.removeAccount(account.installId, account.id);
         }},
        {"replaced by a new one",
         [](SqliteStorage& storage, const StoredAccount& account) {
             return storage.updateCredential(account.id, "the-new-sealed-credential");
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("backend.sqlite");
        auto storage = SqliteStorage::open(path);
        ASSERT_TRUE(storage);
        const auto install = (*storage)->createInstall("token-hash");
        ASSERT_TRUE(install);
        const StoredAccount account{"account-1",       *install,           "imap",
                                    "you@example.com", "imap.example.com", "active"};
        const QByteArray sealed = "sealed-credential-0123456789abcdef";
        ASSERT_TRUE((*storage)->addAccount(account, sealed));
        ASSERT_TRUE(filesOf(path).contains(sealed));
        ASSERT_TRUE(row.forget(**storage, account));
        EXPECT_FALSE(filesOf(path).contains(sealed));
    }
}

// A poll held until its deadline answers with the mail it has, each id once.
TEST(HeldPolls, APollThatRunsOutListsEachIdOnce)
{
    MessageCache cache;
    CachedMessage message;
    message.id = "inbox.7.1";
    message.accountId = "inbox";
    message.receivedAt = 1000;
    cache.add(message);
    cache.markSettled("inbox");
    const auto poll = [&cache] {
        std::promise<std::optional<QStringList>> answered;
        cache.parkForIds("install", {"inbox"}, 900,
                         MessageCache::Clock::now() + std::chrono::milliseconds(200),
                         [&answered](std::optional<QStringList> ids) { answered.set_value(std::move(ids)); });
        return answered.get_future().get();
    };
    ASSERT_EQ(poll(), QStringList{"inbox.7.1"});
    // The same question again holds until its deadline, since nothing new came.
    EXPECT_EQ(poll(), QStringList{"inbox.7.1"});
}

// An inbox whose saved credential cannot be opened (sealed under a key this start did not get) is
// unreachable for the mail lists too: they say why, never "no mail" after a wait.
TEST(HeldPolls, AnInboxWhoseCredentialCannotBeOpenedIsAProblemForPolls)
{
    QTemporaryDir data;
    auto storage = SqliteStorage::open(data.filePath("backend.sqlite")).value();
    const StoredAccount account{"inbox", storage->createInstall("hash").value(), "imap", "a@b", "h",
                                "active"};
    ASSERT_TRUE(storage->addAccount(account, CredentialCipher(QByteArray(32, 'a')).seal("pw", "inbox")));
    const CredentialCipher otherKey(QByteArray(32, 'b'));
    MessageCache cache;
    MailService mail(*storage, otherKey, ImapSettings{}, cache);
    mail.watchStored(account);
    ASSERT_TRUE(mail.problem(account.id));
    EXPECT_EQ(cache.problem({account.id}), mail.problem(account.id));
}
