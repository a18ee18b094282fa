#include "DovecotServer.h"
#include "FakeOAuthServer.h"
#include "PostgresServer.h"

#include "backend/Backend.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/FakeSettingsStore.h"
#include "server/BackendServer.h"
#include "server/CredentialCipher.h"
#include "support/RunTask.h"

#include <QDateTime>
#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

#include <httplib.h>

using namespace tessary;
using namespace tessary::server;
using namespace tessary::test;

TEST(OAuthSignIn, GmailSignInWithPkceThenXOAuth2PushAndARevokedGrantUntilSignedInAgain)
{
    const QString email = DovecotServer::user(1);
    FakeOAuthServer oauth(email);
    DovecotServer dovecot(oauth.url());
    ASSERT_TRUE(dovecot.isReady()) << dovecot.error().toStdString();
    QTemporaryDir data;
    ASSERT_TRUE(dovecot.configureBackend(data.path(), oauth.backendConfig(DovecotServer::hostName)));
    auto backend = server::startEmbeddedBackend(data.path());
    ASSERT_TRUE(backend) << backend.error().toStdString();
    FakeSettingsStore settings;
    settings.values.insert(QStringLiteral("backendURL"), (*backend)->url());
    FakeSecretStore secrets;
    Backend client{settings, secrets};

    const auto link = runTask(client.connect(QStringLiteral("gmail")));
    ASSERT_TRUE(link) << link.error().message.toStdString();
    // (Where the browser comes back to, and the pending inbox meanwhile, the instances' test shows.)
    // A forged return with an unknown state is turned away; the real one completes the sign-in.
    httplib::Client direct((*backend)->url().toStdString());
    EXPECT_EQ(direct.Get("/v1/oauth/callback?code=code-1&state=forged")->status, 400);
    ASSERT_EQ(FakeOAuthServer::signInInBrowser(link->url), 200);
    EXPECT_EQ(runTask(client.accounts()).value(),
              (QList<Account>{{link->accountId, "gmail", email, "active"}}));
    QFile database(data.filePath(QStringLiteral("tessary-backend.sqlite-wal")));
    ASSERT_TRUE(database.open(QIODevice::ReadOnly));
    EXPECT_FALSE(database.readAll().contains("refresh-")) << "refresh tokens are kept encrypted";

    // The watcher signed in with XOAUTH2: new mail is pushed to a held poll.
    const double since = double(QDateTime::currentSecsSinceEpoch()) - 1;
    ASSERT_TRUE(dovecot.deliver(email, "From: a@b.example\r\nSubject: Code\r\n\r\nYour code is 4242.\r\n"));
    QSet<QString> ids;
    for (int poll = 0; poll < 3 && ids.isEmpty(); ++poll)
        if (auto answer = runTask(client.messageIds(since)))
            ids = *answer;
    ASSERT_EQ(ids.size(), 1) << dovecot.logTail().toStdString();

    // Every refresh hands out a new refresh token and the backend keeps the newest: a restarted
    // backend still signs in once the older ones stop working, and reads the mail from the mailbox.
    // A sign-in left half done can never be finished after the restart (its secret half lives in
    // memory only), so its pending inbox does not outlive it.
    ASSERT_TRUE(runTask(client.connect(QStringLiteral("gmail"))));
    oauth.revokeAllButNewest();
    backend->reset();
    backend = server::startEmbeddedBackend(data.path());
    ASSERT_TRUE(backend) << backend.error().toStdString();
    settings.values.insert(QStringLiteral("backendURL"), (*backend)->url());
    settings.values.remove(Backend::tokenOwnerKey); // the same backend at another port keeps its token
    const auto kept = runTask(client.messages(since));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->size(), 1) << dovecot.logTail().toStdString();

    oauth.revokeAll();
    const QString revoked = "The sign-in was revoked or has expired; connect this inbox again";
    const auto trashed = runTask(client.trash(*ids.begin()));
    ASSERT_FALSE(trashed);
    EXPECT_EQ(trashed.error().message, revoked);
    EXPECT_EQ(runTask(client.accounts()).value(),
              (QList<Account>{{link->accountId, "gmail", email, "error", revoked}}));

    // Signing in again replaces the revoked inbox with the new, working one.
    const auto relink = runTask(client.connect(QStringLiteral("gmail")));
    ASSERT_TRUE(relink) << relink.error().message.toStdString();
    ASSERT_EQ(FakeOAuthServer::signInInBrowser(relink->url), 200);
    EXPECT_EQ(runTask(client.accounts()).value(),
              (QList<Account>{{relink->accountId, "gmail", email, "active"}}));
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
    // Instances on one database serve other machines through their proxy, though each listens
    // on this one's loopback: none connects to this machine for a client.
    EXPECT_EQ(runTask(client.addIMAP(email, DovecotServer::password, "127.0.0.1")).error().status, 400);
}
