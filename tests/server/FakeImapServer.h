#pragma once

#include "support/TestCertificates.h"

#include <QDateTime>
#include <QEventLoop>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <future>
#include <memory>

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
    static QByteArray endless(const QByteArray& piece, int bytesPerSecond = 0)
    {
        return endlessMarker + QByteArray::number(bytesPerSecond) + ' ' + piece;
    }
    // A FETCH's INTERNALDATE for a message that arrives now.
    static QByteArray arrivedNow()
    {
        return "INTERNALDATE \"" +
               QDateTime::currentDateTimeUtc().toString("dd-MMM-yyyy HH:mm:ss").toLatin1() + " +0000\"";
    }
    // An honest server with an empty inbox: what scripts answer for every command they leave alone.
    static QByteArray honestEmptyInbox(const QByteArray& tag, const QByteArray& command)
    {
        const QByteArray verb = command.toUpper();
        const QByteArray ok = tag + " OK done\r\n";
        if (tag.isEmpty())
            return "* OK fake ready\r\n";
        if (verb.startsWith("CAPABILITY"))
            return "* CAPABILITY IMAP4rev1 IDLE\r\n" + ok;
        if (verb.startsWith("SELECT"))
            return "* 0 EXISTS\r\n* OK [UIDVALIDITY 7] v\r\n* OK [UIDNEXT 1] n\r\n" + ok;
        if (verb.startsWith("UID SEARCH"))
            return "* SEARCH\r\n" + ok;
        return verb == "IDLE" ? "+ idling\r\n" : ok; // LOGIN, DONE, LOGOUT
    }

    // The server lives and dies on its thread; the port comes back once it listens.
    explicit FakeImapServer(Script script)
    {
        if (!makeTestCertificates(m_dir.path(), hostName, "DNS:" + hostName))
            return;
        std::promise<quint16> listening;
        m_thread.reset(QThread::create([&listening, folder = m_dir.path(), script] {
            ScriptedServer server(folder, script);
            listening.set_value(server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0);
            QEventLoop().exec(); // until quit() from the destructor
        }));
        m_thread->start();
        m_port = listening.get_future().get();
    }
    ~FakeImapServer()
    {
        if (m_thread) {
            m_thread->quit();
            m_thread->wait();
        }
    }
    FakeImapServer(const FakeImapServer&) = delete;
    FakeImapServer& operator=(const FakeImapServer&) = delete;

    bool isReady() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    QString certificateFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }

private:
    static inline const QByteArray endlessMarker = QByteArrayLiteral("\0endless");

    // Sends `piece` on and on: while what waits to leave is short, or a tenth of the rate every 100 ms.
    static void sendForever(QSslSocket* socket, const QByteArray& piece, int bytesPerSecond)
    {
        if (bytesPerSecond == 0) {
            const auto topUp = [socket, piece] {
                if (socket->state() == QAbstractSocket::ConnectedState &&
                    socket->bytesToWrite() + socket->encryptedBytesToWrite() < 1024 * 1024)
                    socket->write(piece);
            };
            QObject::connect(socket, &QSslSocket::encryptedBytesWritten, socket, topUp);
            return topUp();
        }
        const QByteArray tenth = piece.repeated(std::max<qsizetype>(1, bytesPerSecond / 10 / piece.size()));
        auto* timer = new QTimer(socket);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, tenth] { socket->write(tenth); });
        timer->start(100);
    }

    // Accepts each connection with TLS and plays the script on it.
    class ScriptedServer final : public QTcpServer {
    public:
        ScriptedServer(QString folder, FakeImapServer::Script script)
            : m_folder(std::move(folder))
            , m_script(std::move(script))
        {
        }

    private:
        void incomingConnection(qintptr descriptor) override
        {
            auto* socket = new QSslSocket(this);
            socket->setSocketDescriptor(descriptor);
            socket->setLocalCertificate(m_folder + "/server.pem");
            socket->setPrivateKey(m_folder + "/server.key", QSsl::Ec);
            auto idleTag = std::make_shared<QByteArray>();
            connect(socket, &QSslSocket::encrypted, socket,
                    [this, socket] { socket->write(m_script({}, {})); });
            connect(socket, &QSslSocket::readyRead, socket, [this, socket, idleTag] {
                while (socket->state() == QAbstractSocket::ConnectedState && socket->canReadLine()) {
                    const QByteArray line = socket->readLine().trimmed();
                    const bool done = line.compare("DONE", Qt::CaseInsensitive) == 0;
                    const QByteArray tag = done ? *idleTag : line.left(line.indexOf(' '));
                    const QByteArray command = done ? line : line.mid(tag.size() + 1);
                    if (command.toUpper() == "IDLE")
                        *idleTag = tag;
                    const QByteArray answer = m_script(tag, command);
                    if (answer == closeConnection)
                        return socket->abort();
                    const qsizetype marker = answer.indexOf(endlessMarker);
                    socket->write(marker < 0 ? answer : answer.first(marker));
                    if (marker >= 0) {
                        const QByteArray rest = answer.mid(marker + endlessMarker.size());
                        return sendForever(socket, rest.mid(rest.indexOf(' ') + 1),
                                           rest.left(rest.indexOf(' ')).toInt());
                    }
                }
            });
            connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
            socket->startServerEncryption();
        }

        const QString m_folder;
        const FakeImapServer::Script m_script;
    };

    QTemporaryDir m_dir;
    std::unique_ptr<QThread> m_thread;
    quint16 m_port = 0;
};

} // namespace tessary::test
