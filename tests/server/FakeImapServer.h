#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class QThread;

namespace tessary::test {

// An IMAP server over TLS that says whatever its script says, for the misbehaving servers a real
// one cannot be made to play. It runs on a thread of its own (the client under test blocks), on a
// port the system picks, with a certificate for `hostName` from a test CA (`certificateFile`).
class FakeImapServer {
public:
    static inline const QString hostName = QStringLiteral("imap.fake.example");
    // The answer to one line from the client: `tag` is the line's own, or for "DONE" the tag of
    // the IDLE it ends; both empty ask for the greeting. `closeConnection` hangs up; an empty
    // answer says nothing.
    static inline const QByteArray closeConnection = QByteArrayLiteral("\0close");
    using Script = std::function<QByteArray(const QByteArray& tag, const QByteArray& command)>;
    // Ends an answer that then goes on with `piece` again and again until the client hangs up: as
    // fast as the client reads, or at `bytesPerSecond`.
    static QByteArray endless(const QByteArray& piece, int bytesPerSecond = 0);
    // A FETCH's INTERNALDATE for a message that arrives now.
    static QByteArray arrivedNow();
    // An honest server with an empty inbox: what scripts answer for every command they leave alone.
    static QByteArray honestEmptyInbox(const QByteArray& tag, const QByteArray& command);

    explicit FakeImapServer(Script script);
    ~FakeImapServer();
    FakeImapServer(const FakeImapServer&) = delete;
    FakeImapServer& operator=(const FakeImapServer&) = delete;

    bool isReady() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    QString certificateFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QThread> m_thread;
    quint16 m_port = 0;
};

} // namespace tessary::test
