#pragma once

#include "ChildProcess.h"

#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>

namespace tessary::test {

// Writes a backend.json into `dataDir` that trusts `caFile` and routes `host` to 127.0.0.1:`port`,
// with the entries of `more` beside.
bool configureBackend(const QString& dataDir, const QString& host, quint16 port, const QString& caFile,
                      QJsonObject more = {});

// A real dovecot for one test program: IMAP over TLS only, on a port the system picked, with a
// throw-away certificate authority whose server certificate names `hostName`, passwd-file users,
// Maildir mailboxes and a Trash folder. Stopped by its own pid when destroyed.
class DovecotServer {
public:
    static inline const QString hostName = QStringLiteral("imap.test.example");

    // With `introspectionUrl`, XOAUTH2 is accepted too: dovecot asks that OAuth service whether
    // a token is active and whose it is. `users` beyond userCount (for benchmarks) also raise its
    // process and client limits to hold a connection per user and a few more.
    explicit DovecotServer(QString introspectionUrl = {}, int users = userCount);
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    bool isReady() const { return m_process.isRunning(); }
    QString error() const { return m_error; }
    QString logTail() const { return test::logTail(m_dir.filePath(QStringLiteral("dovecot.log"))); }
    quint16 port() const { return m_port; }
    QString caFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }

    // Users "user1@test.example" … "user<users>@test.example", each with `password`.
    static constexpr int userCount = 40;
    static inline const QString password = QStringLiteral("app-password");
    static QString user(int number);
    bool deliver(const QString& user, const QByteArray& message);
    // Puts a message straight into a user's Maildir, as mail that arrives while the IMAP server
    // is down (dovecot-lda needs the running server to look the user up).
    bool dropMail(const QString& user, const QByteArray& message);
    // Changes a user's password, as revoking an app password does; seen from the next start.
    bool setPassword(const QString& user, const QString& newPassword);
    // The files of a mailbox folder ("" for the inbox, "Trash"), new and cur together.
    QStringList mailFiles(const QString& user, const QString& folder) const;
    // Writes a backend.json into `dataDir` that trusts this CA and routes `hostName` to this
    // server, with the entries of `more` beside.
    bool configureBackend(const QString& dataDir, QJsonObject more = {}) const
    {
        return test::configureBackend(dataDir, hostName, m_port, caFile(), std::move(more));
    }

    bool start(); // again after stop(): on the same port
    void stop() { m_process.stop(); }

private:
    bool writeConfig();
    bool writeUsers();

    QTemporaryDir m_dir;
    QString m_introspectionUrl;
    int m_users;
    quint16 m_port = 0;
    ChildProcess m_process;
    QString m_error;
};

} // namespace tessary::test
