#include "DovecotServer.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tessary::test;

// The walk a user takes by hand, with no --backend and no backendURL, so tessary-inspect runs
// the backend inside itself with its data under the app's folder: `imap` adds a dovecot inbox,
// and a later, separate `codes --live` finds the code in mail delivered to it meanwhile.
TEST(InspectWithEmbeddedBackend, AddsAnInboxAndFindsTheCodeMailedToIt)
{
    DovecotServer dovecot;
    ASSERT_TRUE(dovecot.isReady()) << dovecot.error().toStdString();
    QTemporaryDir home;
    ASSERT_TRUE(dovecot.configureBackend(home.filePath("data/tessary/backend")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"); // no keyring: the files
    const auto inspect = [&environment](const QStringList& arguments, const QByteArray& input) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(TESSARY_INSPECT), arguments);
        process.write(input);
        process.closeWriteChannel();
        process.waitForFinished(60000);
        return std::pair{process.exitCode(),
                         process.readAllStandardOutput() + process.readAllStandardError()};
    };

    const QString user = DovecotServer::user(DovecotServer::userCount); // a mailbox of its own
    const auto [added, addedText] = inspect({"imap", user, DovecotServer::hostName}, "app-password\n");
    ASSERT_EQ(added, 0) << addedText.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(addedText).object().value("status").toString(), "active");

    const qint64 since = QDateTime::currentSecsSinceEpoch() - 1;
    ASSERT_TRUE(dovecot.deliver(user, "From: Shop <no-reply@shop.example>\r\nSubject: Your code\r\n\r\n"
                                      "Your verification code is 735911.\r\n"));
    const auto [found, foundText] = inspect({"codes", "--live", "--since", QString::number(since)}, {});
    ASSERT_EQ(found, 0) << foundText.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(foundText).object().value("code").toString(), "735911")
        << foundText.toStdString();
}
