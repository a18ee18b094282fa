#pragma once

#include "ChildProcess.h"
#include "support/TestCertificates.h"

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSslSocket>
#include <QTemporaryDir>

#include <pwd.h>
#include <sys/stat.h>

namespace tessary::test {

// Writes a backend.json into `dataDir` that trusts `caFile` and routes `host` to 127.0.0.1:`port`,
// with the entries of `more` beside.
inline bool configureBackend(const QString& dataDir, const QString& host, quint16 port, const QString& caFile,
                             QJsonObject more = {})
{
    more.insert("imapHosts", QJsonObject{{host, QStringLiteral("127.0.0.1:%1").arg(port)}});
    more.insert("imapCAFile", caFile);
    return QDir().mkpath(dataDir) &&
           writeFile(QDir(dataDir).filePath(QStringLiteral("backend.json")), QJsonDocument(more).toJson());
}

// A real dovecot for one test program: IMAP over TLS only, on a port the system picked, with a
// throw-away certificate authority whose server certificate names `hostName`, passwd-file users,
// Maildir mailboxes and a Trash folder. Stopped by its own pid when destroyed.
class DovecotServer {
public:
    static inline const QString hostName = QStringLiteral("imap.test.example");
    // Users "user1@test.example" … "user<users>@test.example", each with `password`.
    static constexpr int userCount = 40;
    static inline const QString password = QStringLiteral("app-password");
    static QString user(int number) { return QStringLiteral("user%1@test.example").arg(number); }

    // With `introspectionUrl`, XOAUTH2 is accepted too: dovecot asks that OAuth service whether
    // a token is active and whose it is. `users` beyond userCount (for benchmarks) also raise its
    // process and client limits to hold a connection per user and a few more.
    explicit DovecotServer(QString introspectionUrl = {}, int users = userCount)
        : m_introspectionUrl(std::move(introspectionUrl))
        , m_users(users)
    {
        chmod(QFile::encodeName(m_dir.path()).constData(), 0755); // dovecot's own users read their mail
        QDir(m_dir.path()).mkpath(QStringLiteral("mail"));
        if (getuid() == 0)
            chown(QFile::encodeName(m_dir.filePath(QStringLiteral("mail"))).constData(), mailUid(),
                  mailUid());
        if (!makeTestCertificates(m_dir.path(), hostName, "DNS:" + hostName)) {
            m_error = QStringLiteral("openssl could not make the test certificates");
            return;
        }
        // All users exist before dovecot starts: it rereads an appended passwd-file only when the
        // file's modification second changes, so users added in quick succession went missing.
        const QByteArray uid = QByteArray::number(mailUid());
        QByteArray lines;
        for (int number = 1; number <= m_users; ++number)
            lines += user(number).toUtf8() + ":{PLAIN}" + password.toUtf8() + ":" + uid + ":" + uid +
                     "::" + m_dir.path().toUtf8() + "/mail/" + user(number).toUtf8() + "::\n";
        if (writeFile(m_dir.filePath(QStringLiteral("passwd")), lines))
            start();
    }
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    bool isReady() const { return m_process.isRunning(); }
    QString error() const { return m_error; }
    QString logTail() const { return test::logTail(m_dir.filePath(QStringLiteral("dovecot.log"))); }
    quint16 port() const { return m_port; }
    QString caFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    bool configureBackend(const QString& dataDir, QJsonObject more = {}) const
    {
        return test::configureBackend(dataDir, hostName, m_port, caFile(), std::move(more));
    }

    bool deliver(const QString& user, const QByteArray& message)
    {
        QProcess lda;
        lda.setWorkingDirectory(m_dir.path());
        lda.start(QStringLiteral("/usr/lib/dovecot/dovecot-lda"),
                  {"-c", m_dir.filePath(QStringLiteral("dovecot.conf")), "-d", user});
        lda.write(message);
        lda.closeWriteChannel();
        return lda.waitForFinished(30000) && lda.exitStatus() == QProcess::NormalExit && lda.exitCode() == 0;
    }
    // Puts a message straight into a user's Maildir, as mail that arrives while the IMAP server is
    // down (dovecot-lda needs the running server to look the user up): one file renamed into new/,
    // its time taken as INTERNALDATE.
    bool dropMail(const QString& user, const QByteArray& message)
    {
        static int count = 0;
        const QString folder = m_dir.filePath(QStringLiteral("mail/") + user);
        const QString name =
            QStringLiteral("%1.tessary%2.test").arg(QDateTime::currentSecsSinceEpoch()).arg(++count);
        if (!QDir().mkpath(folder + "/tmp") || !QDir().mkpath(folder + "/new") ||
            !writeFile(folder + "/tmp/" + name, message) ||
            !QFile::rename(folder + "/tmp/" + name, folder + "/new/" + name))
            return false;
        if (getuid() == 0)
            for (const QString& path : {folder, folder + "/tmp", folder + "/new", folder + "/new/" + name})
                chown(QFile::encodeName(path).constData(), mailUid(), mailUid());
        return true;
    }
    // Changes a user's password, as revoking an app password does; seen from the next start.
    bool setPassword(const QString& user, const QString& newPassword)
    {
        QFile file(m_dir.filePath(QStringLiteral("passwd")));
        QByteArray lines = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        const QByteArray from = user.toUtf8() + ":{PLAIN}" + password.toUtf8() + ":";
        return lines.contains(from) &&
               writeFile(file.fileName(),
                         lines.replace(from, user.toUtf8() + ":{PLAIN}" + newPassword.toUtf8() + ":"));
    }
    // The files of a mailbox folder ("" for the inbox, "Trash"), new and cur together.
    QStringList mailFiles(const QString& user, const QString& folder) const
    {
        const QString base =
            m_dir.filePath(QStringLiteral("mail/") + user + (folder.isEmpty() ? "" : "/." + folder));
        return QDir(base + "/new").entryList(QDir::Files) + QDir(base + "/cur").entryList(QDir::Files);
    }

    // Again after stop(), on the same port, so a backend configured for this server finds it again.
    bool start()
    {
        if (m_port == 0)
            m_port = freePort();
        if (m_port == 0 || !writeConfig())
            return false;
        // Ready when the TLS greeting arrives; a bare TCP probe left dangling slows dovecot's stop.
        const auto greets = [this] {
            QSslSocket socket;
            socket.setPeerVerifyMode(QSslSocket::VerifyNone); // only asking whether it answers yet
            socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), m_port);
            const bool ready = socket.waitForEncrypted(1000) &&
                               (socket.bytesAvailable() > 0 || socket.waitForReadyRead(1000)) &&
                               socket.readAll().startsWith("* OK");
            if (ready)
                socket.disconnectFromHost();
            else
                socket.abort();
            return ready;
        };
        if (m_process.start({"dovecot", "-F", "-c", m_dir.filePath(QStringLiteral("dovecot.conf"))}, greets,
                            100))
            return true;
        m_error = QStringLiteral("dovecot did not start: ") + logTail();
        return false;
    }
    void stop() { m_process.stop(); }

private:
    // Mail belongs to an unprivileged user even when the tests run as root, as dovecot insists.
    static uid_t mailUid()
    {
        const passwd* nobody = getuid() == 0 ? getpwnam("nobody") : nullptr;
        return getuid() != 0 ? getuid() : nobody ? nobody->pw_uid : 65534;
    }
    bool writeConfig()
    {
        const bool root = getuid() == 0;
        const QString user = root ? QString() : QString::fromLocal8Bit(getpwuid(getuid())->pw_name);
        const bool oauth = !m_introspectionUrl.isEmpty();
        // Every block opens on its own line: dovecot rejects one-line blocks. Passwords go to the
        // passwd-file, OAuth tokens to the sign-in service, each passdb taking only its own mechanisms.
        QString config =
            QStringLiteral(
                "protocols = imap\nlisten = 127.0.0.1\nbase_dir = %1/run\nstate_dir = %1/state\n"
                "log_path = %1/dovecot.log\nssl = required\nssl_cert = <%1/server.pem\nssl_key = "
                "<%1/server.key\n"
                "auth_mechanisms = plain login%4\nauth_failure_delay = 0\nfirst_valid_uid = 1\n"
                "postmaster_address = postmaster@test.example\nmail_location = maildir:%1/mail/%u\n"
                "default_internal_user = %2\ndefault_login_user = %3\n"
                "passdb {\n  driver = passwd-file%5\n  args = scheme=PLAIN %1/passwd\n}\n"
                "userdb {\n  driver = passwd-file\n  args = %1/passwd\n}\n"
                "service imap-login {\n%6  inet_listener imap {\n    port = 0\n  }\n"
                "  inet_listener imaps {\n    port = %7\n    ssl = yes\n  }\n}\n"
                "service anvil {\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n"
                "namespace inbox {\n  inbox = yes\n  separator = /\n"
                "  mailbox Trash {\n    special_use = \\Trash\n    auto = create\n  }\n}\n")
                .arg(m_dir.path(), root ? "dovecot" : user, root ? "dovenull" : user, oauth ? " xoauth2" : "",
                     oauth ? "\n  mechanisms = plain login" : "", root ? "" : "  chroot =\n",
                     QString::number(m_port));
        if (!root)
            config += "default_internal_group = " + user + "\n";
        if (m_users > userCount) {
            // One login process and a few IMAP processes serve every connection: a process per
            // connection, dovecot's default, would be thousands of processes.
            const QString clients = QString::number(m_users * 2 + 100);
            config +=
                QStringLiteral("default_client_limit = %1\ndefault_process_limit = %1\nservice imap-login {\n"
                               "  service_count = 0\n  process_min_avail = 2\n  client_limit = %1\n}\n"
                               "service imap {\n  service_count = 0\n  client_limit = 64\n"
                               "  process_limit = %2\n}\n")
                    .arg(clients, QString::number(m_users / 32 + 8));
        }
        if (oauth) {
            config += "passdb {\n  driver = oauth2\n  mechanisms = xoauth2\n  args = " + m_dir.path() +
                      "/oauth2.conf.ext\n}\n";
            const QByteArray introspection =
                "introspection_mode = post\nintrospection_url = " + m_introspectionUrl.toUtf8() +
                "/introspect\nusername_attribute = email\nactive_attribute = active\n"
                "active_value = true\nforce_introspection = yes\n";
            if (!writeFile(m_dir.filePath(QStringLiteral("oauth2.conf.ext")), introspection))
                return false;
        }
        return writeFile(m_dir.filePath(QStringLiteral("dovecot.conf")), config.toUtf8());
    }

    QTemporaryDir m_dir;
    QString m_introspectionUrl;
    int m_users;
    quint16 m_port = 0;
    ChildProcess m_process;
    QString m_error;
};

} // namespace tessary::test
