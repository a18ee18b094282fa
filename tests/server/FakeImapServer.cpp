#include "FakeImapServer.h"

#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QThread>

#include <future>

namespace tessary::test {

namespace {

// Accepts each connection with TLS and plays the script on it.
class ScriptedServer final : public QTcpServer {
public:
    ScriptedServer(QSslCertificate certificate, QSslKey key, FakeImapServer::Script script)
        : m_certificate(std::move(certificate))
        , m_key(std::move(key))
        , m_script(std::move(script))
    {
    }

private:
    void incomingConnection(qintptr descriptor) override
    {
        auto* socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        socket->setLocalCertificate(m_certificate);
        socket->setPrivateKey(m_key);
        auto idleTag = std::make_shared<QByteArray>();
        connect(socket, &QSslSocket::encrypted, socket, [this, socket] { socket->write(m_script({}, {})); });
        connect(socket, &QSslSocket::readyRead, socket, [this, socket, idleTag] {
            while (socket->state() == QAbstractSocket::ConnectedState && socket->canReadLine()) {
                const QByteArray line = socket->readLine().trimmed();
                const qsizetype space = line.indexOf(' ');
                const bool done = line.compare("DONE", Qt::CaseInsensitive) == 0;
                const QByteArray tag = done ? *idleTag : line.left(space);
                const QByteArray command = done ? line : line.mid(space + 1);
                if (command.toUpper() == "IDLE")
                    *idleTag = tag;
                const QByteArray answer = m_script(tag, command);
                if (answer == FakeImapServer::closeConnection) {
                    socket->abort();
                    return;
                }
                socket->write(answer);
            }
        });
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
        socket->startServerEncryption();
    }

    const QSslCertificate m_certificate;
    const QSslKey m_key;
    const FakeImapServer::Script m_script;
};

} // namespace

FakeImapServer::FakeImapServer(Script script)
{
    QProcess openssl;
    openssl.setWorkingDirectory(m_dir.path());
    openssl.start("openssl",
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                   "-days", "2", "-subj", "/CN=" + hostName, "-addext", "subjectAltName=DNS:" + hostName,
                   "-addext", "basicConstraints=critical,CA:TRUE", "-keyout", "server.key", "-out",
                   "server.pem"});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return;
    QFile certificateFile(m_dir.filePath("server.pem"));
    QFile keyFile(m_dir.filePath("server.key"));
    if (!certificateFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly))
        return;
    QSslCertificate certificate(&certificateFile, QSsl::Pem);
    QSslKey key(&keyFile, QSsl::Ec, QSsl::Pem);

    // The server lives and dies on its thread; the port comes back once it listens.
    std::promise<quint16> listening;
    m_thread.reset(QThread::create([&listening, certificate, key, script] {
        ScriptedServer server(certificate, key, script);
        listening.set_value(server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0);
        QEventLoop().exec(); // until quit() from the destructor
    }));
    m_thread->start();
    m_port = listening.get_future().get();
}

FakeImapServer::~FakeImapServer()
{
    if (m_thread) {
        m_thread->quit();
        m_thread->wait();
    }
}

} // namespace tessary::test
