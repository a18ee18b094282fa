#include "DovecotServer.h"

#include "backend/BackendTestSupport.h"
#include "server/BackendServer.h"
#include "server/ImapSession.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <thread>

using namespace tessary;
using namespace tessary::test;

namespace {

QByteArray codeMail(const QByteArray& subject, const QByteArray& code)
{
    return "From: Shop <no-reply@shop.example>\r\nTo: you@test.example\r\nSubject: " + subject +
           "\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nYour verification code is " + code + ".\r\n";
}

// The embedded backend pointed at the test's dovecot, and the app's own client pointed at it.
class MailBackend : public ::testing::Test {
protected:
    static void SetUpTestSuite() { dovecot = std::make_unique<DovecotServer>(); }
    static void TearDownTestSuite() { dovecot.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(dovecot->isReady()) << dovecot->error().toStdString();
        ASSERT_TRUE(dovecot->configureBackend(data.path()));
        auto started = server::startEmbeddedBackend(data.path());
        ASSERT_TRUE(started) << started.error().toStdString();
        backend = std::move(*started);
        settings.values.insert(QStringLiteral("backendURL"), backend->url());
    }

    // A fresh mailbox per test, so no test sees another's mail.
    static QString newUser()
    {
        static int count = 0;
        return DovecotServer::user(++count);
    }
    static double now() { return double(QDateTime::currentSecsSinceEpoch()); }
    Account addInbox(const QString& user)
    {
        auto added = runTask(client.addIMAP(user, QStringLiteral("app-password"), DovecotServer::hostName));
        EXPECT_TRUE(added) << added.error().message.toStdString();
        return added ? *added : Account{};
    }

    // Up to four held polls (10 s each) until mail is in; one that answers at once with why the
    // server can't be reached does not count.
    QSet<QString> idsSince(double since)
    {
        QSet<QString> ids;
        for (int poll = 0, failures = 0; poll < 4 && failures < 100 && ids.isEmpty();) {
            if (auto answer = runTask(client.messageIds(since))) {
                ids = *answer;
                ++poll;
            } else {
                ++failures;
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        }
        return ids;
    }

    static inline std::unique_ptr<DovecotServer> dovecot;
    QTemporaryDir data;
    std::unique_ptr<server::BackendServer> backend;
    FakeSettingsStore settings;
    FakeSecretStore secrets;
    Backend client{settings, secrets};
};

} // namespace

TEST_F(MailBackend, EveryEndpointAndItsErrorTexts)
{
    const QString user = newUser();
    struct Refusal {
        QString email, password, host;
        BackendError error;
    };
    const Refusal refusals[] = {
        {user, "wrong", DovecotServer::hostName, {400, "Wrong email or app password"}},
        {user, "app-password", "nowhere.invalid", {502, "Can't reach nowhere.invalid"}},
        {"", "x", "h", {400, "Enter the email address, the app password and the IMAP server"}},
    };
    for (const Refusal& row : refusals) {
        SCOPED_TRACE(row.error.message.toStdString());
        const auto added = runTask(client.addIMAP(row.email, row.password, row.host));
        ASSERT_FALSE(added);
        EXPECT_EQ(added.error(), row.error);
    }

    const Account account = addInbox(user);

    const auto gmail = runTask(client.connect(QStringLiteral("gmail")));
    ASSERT_FALSE(gmail);
    EXPECT_TRUE(gmail.error().message.contains(QStringLiteral("Other… with an app password")));

    // Only the token's hash reaches the disk.
    const QString token = secrets.values.value(Backend::installTokenKey);
    ASSERT_FALSE(token.isEmpty());
    QFile database(data.filePath(QStringLiteral("tessary-backend.sqlite-wal")));
    ASSERT_TRUE(database.open(QIODevice::ReadOnly));
    const QByteArray stored = database.readAll();
    EXPECT_FALSE(stored.contains(token.toUtf8()));
    EXPECT_FALSE(stored.contains("app-password"));

    EXPECT_TRUE(runTask(client.removeAccount(account.id)));
    EXPECT_EQ(runTask(client.removeAccount(account.id)).error(),
              (BackendError{404, "This inbox is not connected"}));

    secrets.values.insert(Backend::installTokenKey, QStringLiteral("forged"));
    EXPECT_EQ(runTask(client.accounts()).error().status, 401);
}

TEST_F(MailBackend, NewMailWakesAHeldPollARepeatedQuestionWaitsForUnseenMailAndTrashMovesIt)
{
    const QString user = newUser();
    addInbox(user);
    const double since = now() - 1;
    ASSERT_TRUE(runTask(client.messageIds(since)).value().isEmpty()); // held 10 s: nothing arrives

    // Delivered while the next poll is held: only the IDLE push can answer it before it ends.
    const auto idsWhileDelivering = [&](const QByteArray& mail) {
        std::thread delivery([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            dovecot->deliver(user, mail);
        });
        const auto ids = runTask(client.messageIds(since));
        delivery.join();
        return ids ? *ids : QSet<QString>{};
    };
    const QSet<QString> first = idsWhileDelivering(codeMail("Your code", "481516"));
    ASSERT_EQ(first.size(), 1);
    // The same question again is not answered with the same mail: it waits for the next one.
    ASSERT_EQ(idsWhileDelivering(codeMail("Second", "2222")).size(), 2);

    const auto messages = runTask(client.messages(since));
    ASSERT_TRUE(messages);
    ASSERT_EQ(messages->size(), 2);
    const auto message = std::ranges::find(*messages, *first.begin(), &Message::id);
    ASSERT_NE(message, messages->end());
    EXPECT_EQ(message->sender, "Shop <no-reply@shop.example>");
    ASSERT_TRUE(message->receivedAt);
    EXPECT_GE(QDateTime::fromString(*message->receivedAt, Qt::ISODate).toSecsSinceEpoch(), qint64(since));

    ASSERT_TRUE(runTask(client.trash(message->id)));
    EXPECT_EQ(dovecot->mailFiles(user, "").size(), 1);
    EXPECT_EQ(dovecot->mailFiles(user, "Trash").size(), 1);
    EXPECT_EQ(runTask(client.messages(since)).value().size(), 1);
}

// Mail delivered before the inbox is watched is read from the mailbox: only the first megabytes of a
// huge message fetched, the text before its attachment still read.
TEST_F(MailBackend, MailFromBeforeWatchingIsReadFromTheMailboxHugeOrNot)
{
    const QString user = newUser();
    const double since = now() - 1;
    ASSERT_TRUE(dovecot->deliver(user, codeMail("Small", "2718")));
    const QByteArray attachment = QByteArray(9 * 1024 * 1024, 'x').toBase64(QByteArray::Base64Encoding);
    QByteArray mail = "From: Shop <no-reply@shop.example>\r\nSubject: Big\r\nMIME-Version: 1.0\r\n"
                      "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
                      "Content-Type: text/plain; charset=utf-8\r\n\r\nYour code is 909090.\r\n--b\r\n"
                      "Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    for (qsizetype at = 0; at < attachment.size(); at += 76)
        mail += attachment.mid(at, 76) + "\r\n";
    mail += "--b--\r\n";
    ASSERT_TRUE(dovecot->deliver(user, mail));
    addInbox(user);
    const auto messages = runTask(client.messages(since));
    ASSERT_TRUE(messages) << messages.error().message.toStdString();
    ASSERT_EQ(messages->size(), 2);
    const auto big = std::ranges::find(*messages, QStringLiteral("Big"), &Message::subject);
    ASSERT_NE(big, messages->end());
    EXPECT_TRUE(big->text.contains("909090"));
}

// After a restart of the mail server, mail delivered meanwhile is read from the mailbox and the new
// connection is back in IDLE; a password changed at the provider shows on the inbox itself, and a
// new one puts it right.
TEST_F(MailBackend, ReconnectsAfterRestartsAndARevokedAppPasswordIsAClearErrorUntilANewOneIsGiven)
{
    const QString user = newUser();
    const Account added = addInbox(user);
    const double since = now() - 1;
    dovecot->stop();
    ASSERT_TRUE(dovecot->dropMail(user, codeMail("While away", "1111")));
    ASSERT_TRUE(dovecot->start()) << dovecot->error().toStdString();
    const QSet<QString> ids = idsSince(since);
    ASSERT_EQ(ids.size(), 1);
    std::this_thread::sleep_for(std::chrono::seconds(1)); // arrival times count whole seconds
    const double later = now();
    ASSERT_TRUE(dovecot->deliver(user, codeMail("After", "2222")));
    EXPECT_EQ(idsSince(later).size(), 1);

    dovecot->stop();
    ASSERT_TRUE(dovecot->setPassword(user, QStringLiteral("revoked")));
    ASSERT_TRUE(dovecot->start()) << dovecot->error().toStdString();
    const Account refused{
        added.id, "imap", user, "error",
        QStringLiteral("The app password was refused; add this inbox again with a new one")};
    QList<Account> listed;
    for (int look = 0; look < 300 && listed != QList<Account>{refused}; ++look) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (auto answer = runTask(client.accounts()))
            listed = *answer;
    }
    EXPECT_EQ(listed, QList<Account>{refused});
    const auto trashed = runTask(client.trash(*ids.begin()));
    ASSERT_FALSE(trashed);
    EXPECT_EQ(trashed.error().message, "Wrong email or app password");
    EXPECT_EQ(dovecot->mailFiles(user, "").size(), 2); // nothing moved

    auto again = runTask(client.addIMAP(user, QStringLiteral("revoked"), DovecotServer::hostName));
    ASSERT_TRUE(again) << again.error().message.toStdString();
    EXPECT_EQ(again->id, added.id) << "the same inbox, not a second one";
    EXPECT_EQ(runTask(client.accounts()).value(), QList<Account>{added});
    EXPECT_TRUE(runTask(client.trash(*ids.begin())));
}

// A connection that works is every other test here; these two are refused for the certificate.
TEST_F(MailBackend, ImapTlsCertificateAndHostNameAlwaysChecked)
{
    const server::ImapRoute route{QStringLiteral("127.0.0.1"), dovecot->port()};
    const std::pair<QString, QString> rows[] = {
        {QString(), DovecotServer::hostName},                      // CA not trusted
        {dovecot->caFile(), QStringLiteral("wrong.test.example")}, // name not on the certificate
    };
    for (const auto& [caFile, host] : rows) {
        SCOPED_TRACE(host.toStdString() + " trusting " + caFile.toStdString());
        server::ImapSettings imap;
        imap.trustedCaFile = caFile;
        imap.routes.insert(host, route);
        server::ImapSession session(imap, host);
        const auto connected = session.connect();
        ASSERT_FALSE(connected);
        EXPECT_EQ(connected.error().kind, server::ImapError::Kind::certificate);
    }
}
