#include "server/MailService.h"
#include "server/MessageCache.h"
#include "server/SqliteStorage.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

} // namespace

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
