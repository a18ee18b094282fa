#include "fakes/FakeBackendServer.h"

#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>

namespace tessary::test {

namespace {

// Splits one complete request off the front of `buffer`; nothing while it is still incomplete.
std::optional<RecordedRequest> takeRequest(QByteArray& buffer)
{
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return std::nullopt;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    RecordedRequest request;
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = QString::fromUtf8(requestLine.value(1)).mid(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                   lines[i].mid(colon + 1).trimmed());
    }
    const qsizetype length = request.headers.value("content-length", "0").toLongLong();
    if (buffer.size() < headerEnd + 4 + length)
        return std::nullopt;
    request.body = buffer.mid(headerEnd + 4, length);
    buffer.remove(0, headerEnd + 4 + length);
    return request;
}

} // namespace

FakeBackendServer::FakeBackendServer(std::optional<QSslConfiguration> tls)
    : m_tls(tls.has_value())
{
    if (tls) {
        auto* server = new QSslServer(this);
        server->setSslConfiguration(*tls);
        m_server = server;
    } else {
        m_server = new QTcpServer(this);
    }
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &FakeBackendServer::accept);
    m_server->listen(QHostAddress::LocalHost, 0);
}

FakeBackendServer::~FakeBackendServer() = default;

QUrl FakeBackendServer::url() const
{
    return QUrl((m_tls ? QStringLiteral("https://localhost:%1") : QStringLiteral("http://127.0.0.1:%1"))
                    .arg(m_server->serverPort()));
}

void FakeBackendServer::script(const QString& path, ScriptedReply reply)
{
    m_scripts[path].append(std::move(reply));
}

QList<RecordedRequest> FakeBackendServer::requestsTo(const QString& path) const
{
    QList<RecordedRequest> matching;
    for (const RecordedRequest& request : requests)
        if (request.path == path)
            matching.append(request);
    return matching;
}

void FakeBackendServer::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            readFrom(socket);
    }
}

void FakeBackendServer::readFrom(QTcpSocket* socket)
{
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    while (auto request = takeRequest(buffer)) {
        requests.append(*request);
        emit received(request->path);
        answer(socket, *request);
    }
}

void FakeBackendServer::answer(QTcpSocket* socket, const RecordedRequest& request)
{
    ScriptedReply reply = fallbackReply;
    QList<ScriptedReply>& scripted = m_scripts[request.path];
    if (!scripted.isEmpty())
        reply = scripted.takeFirst();
    else if (request.path == QLatin1String("v1/installs"))
        reply = ScriptedReply::json(200, QByteArray(R"({"token": "token-)") +
                                             QByteArray::number(++m_issuedTokens) + "\"}");

    if (reply.ending == ScriptedReply::Ending::never)
        return;
    // No client reads the reason phrase: one word serves every status.
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + " Reply\r\n";
    if (!reply.contentType.isEmpty())
        head += "Content-Type: " + reply.contentType + "\r\n";
    head += reply.extraHeaders;
    head += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n\r\n";
    socket->write(head);
    if (reply.ending == ScriptedReply::Ending::closeMidBody) {
        socket->write(reply.body.left(reply.body.size() / 2));
        socket->flush();
        socket->disconnectFromHost();
        return;
    }
    socket->write(reply.body);
}

} // namespace tessary::test
