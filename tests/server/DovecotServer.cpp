#include "DovecotServer.h"
#include "support/TestCertificates.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSslSocket>
#include <QTcpServer>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessary::test {

namespace {

bool writeFile(const QString& path, const QByteArray& content,
               QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile file(path);
    return file.open(mode) && file.write(content) == content.size();
}

// Mail belongs to an unprivileged user even when the tests run as root, as dovecot insists.
uid_t mailUid()
{
    if (getuid() != 0)
        return getuid();
    const passwd* nobody = getpwnam("nobody");
    return nobody ? nobody->pw_uid : 65534;
}

} // namespace

DovecotServer::DovecotServer(QString introspectionUrl, int users)
    : m_introspectionUrl(std::move(introspectionUrl))
    , m_users(users)
{
    chmod(QFile::encodeName(m_dir.path()).constData(), 0755); // dovecot's own users read their mail
    QDir(m_dir.path()).mkpath(QStringLiteral("mail"));
    if (getuid() == 0)
        chown(QFile::encodeName(m_dir.filePath(QStringLiteral("mail"))).constData(), mailUid(), mailUid());
    if (!makeTestCertificates(m_dir.path(), hostName, "DNS:" + hostName)) {
        m_error = QStringLiteral("openssl could not make the test certificates");
        return;
    }
    if (writeUsers())
        start();
}

bool DovecotServer::writeConfig()
{
    const QByteArray dir = m_dir.path().toUtf8();
    const bool root = getuid() == 0;
    const QByteArray user = root ? QByteArray() : QByteArray(getpwuid(getuid())->pw_name);
    // Every block opens on its own line: dovecot rejects one-line blocks.
    QByteArray config = "protocols = imap\nlisten = 127.0.0.1\n"
                        "base_dir = " +
                        dir + "/run\nstate_dir = " + dir +
                        "/state\n"
                        "log_path = " +
                        dir +
                        "/dovecot.log\n"
                        "ssl = required\nssl_cert = <" +
                        dir + "/server.pem\nssl_key = <" + dir +
                        "/server.key\n"
                        "auth_mechanisms = plain login\nauth_failure_delay = 0\n"
                        "postmaster_address = postmaster@test.example\n"
                        "first_valid_uid = 1\nmail_location = maildir:" +
                        dir +
                        "/mail/%u\n"
                        "default_internal_user = " +
                        (root ? "dovecot" : user) +
                        "\n"
                        "default_login_user = " +
                        (root ? "dovenull" : user) +
                        "\n"
                        "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " +
                        dir +
                        "/passwd\n}\n"
                        "userdb {\n  driver = passwd-file\n  args = " +
                        dir +
                        "/passwd\n}\n"
                        "service imap-login {\n" +
                        (root ? "" : "  chroot =\n") +
                        "  inet_listener imap {\n    port = 0\n  }\n"
                        "  inet_listener imaps {\n    port = " +
                        QByteArray::number(m_port) +
                        "\n    ssl = yes\n  }\n}\n"
                        "service anvil {\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n"
                        "namespace inbox {\n  inbox = yes\n  separator = /\n"
                        "  mailbox Trash {\n    special_use = \\Trash\n    auto = create\n  }\n}\n";
    if (!root)
        config += "default_internal_group = " + user + "\n";
    if (m_users > userCount) {
        // One login process and a few IMAP processes serve every connection: a process per
        // connection, dovecot's default, would be thousands of processes.
        const QByteArray clients = QByteArray::number(m_users * 2 + 100);
        config += "default_client_limit = " + clients + "\ndefault_process_limit = " + clients +
                  "\nservice imap-login {\n  service_count = 0\n  process_min_avail = 2\n  client_limit = " +
                  clients +
                  "\n}\nservice imap {\n  service_count = 0\n  client_limit = 64\n  process_limit = " +
                  QByteArray::number(m_users / 32 + 8) + "\n}\n";
    }
    if (!m_introspectionUrl.isEmpty()) {
        // Passwords go to the passwd-file, tokens to the OAuth service, each passdb taking only its
        // own mechanisms.
        config.replace("auth_mechanisms = plain login\n", "auth_mechanisms = plain login xoauth2\n");
        config.replace("passdb {\n  driver = passwd-file\n",
                       "passdb {\n  driver = passwd-file\n  mechanisms = plain login\n");
        config +=
            "passdb {\n  driver = oauth2\n  mechanisms = xoauth2\n  args = " + dir + "/oauth2.conf.ext\n}\n";
        const QByteArray oauth =
            "introspection_mode = post\nintrospection_url = " + m_introspectionUrl.toUtf8() +
            "/introspect\nusername_attribute = email\nactive_attribute = active\n"
            "active_value = true\nforce_introspection = yes\n";
        if (!writeFile(m_dir.filePath(QStringLiteral("oauth2.conf.ext")), oauth))
            return false;
    }
    return writeFile(m_dir.filePath(QStringLiteral("dovecot.conf")), config);
}

bool DovecotServer::start()
{
    // A restart keeps the port, so a backend configured for this server finds it again.
    if (m_port == 0) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost))
            return false;
        m_port = probe.serverPort();
        probe.close();
    }
    if (!writeConfig())
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
    if (m_process.start({"dovecot", "-F", "-c", m_dir.filePath(QStringLiteral("dovecot.conf"))}, greets, 100))
        return true;
    m_error = QStringLiteral("dovecot did not start: ") + logTail();
    return false;
}

QString DovecotServer::user(int number)
{
    return QStringLiteral("user%1@test.example").arg(number);
}

bool DovecotServer::writeUsers()
{
    // All users exist before dovecot starts: it rereads an appended passwd-file only when the
    // file's modification second changes, so users added in quick succession went missing.
    const QByteArray uid = QByteArray::number(mailUid());
    QByteArray lines;
    for (int number = 1; number <= m_users; ++number)
        lines += user(number).toUtf8() + ":{PLAIN}" + password.toUtf8() + ":" + uid + ":" + uid +
                 "::" + m_dir.path().toUtf8() + "/mail/" + user(number).toUtf8() + "::\n";
    return writeFile(m_dir.filePath(QStringLiteral("passwd")), lines);
}

bool DovecotServer::setPassword(const QString& user, const QString& newPassword)
{
    const QString path = m_dir.filePath(QStringLiteral("passwd"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray lines = file.readAll();
    const QByteArray from = user.toUtf8() + ":{PLAIN}" + password.toUtf8() + ":";
    if (!lines.contains(from))
        return false;
    lines.replace(from, user.toUtf8() + ":{PLAIN}" + newPassword.toUtf8() + ":");
    return writeFile(path, lines);
}

bool DovecotServer::dropMail(const QString& user, const QByteArray& message)
{
    // A Maildir delivery is one file renamed into new/; dovecot takes its time as INTERNALDATE.
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

bool DovecotServer::deliver(const QString& user, const QByteArray& message)
{
    QProcess lda;
    lda.setWorkingDirectory(m_dir.path());
    lda.start(QStringLiteral("/usr/lib/dovecot/dovecot-lda"),
              {"-c", m_dir.filePath(QStringLiteral("dovecot.conf")), "-d", user});
    lda.write(message);
    lda.closeWriteChannel();
    return lda.waitForFinished(30000) && lda.exitStatus() == QProcess::NormalExit && lda.exitCode() == 0;
}

QStringList DovecotServer::mailFiles(const QString& user, const QString& folder) const
{
    const QString base =
        m_dir.filePath(QStringLiteral("mail/") + user + (folder.isEmpty() ? "" : "/." + folder));
    return QDir(base + "/new").entryList(QDir::Files) + QDir(base + "/cur").entryList(QDir::Files);
}

bool configureBackend(const QString& dataDir, const QString& host, quint16 port, const QString& caFile,
                      QJsonObject more)
{
    more.insert("imapHosts", QJsonObject{{host, QStringLiteral("127.0.0.1:%1").arg(port)}});
    more.insert("imapCAFile", caFile);
    return QDir().mkpath(dataDir) &&
           writeFile(QDir(dataDir).filePath(QStringLiteral("backend.json")), QJsonDocument(more).toJson());
}

} // namespace tessary::test
