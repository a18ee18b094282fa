#include "platform/sway/SwayTreeRequest.h"

#include "platform/sway/SwayIpc.h"

#include <QJsonDocument>

namespace tessary {

SwayTreeRequest::SwayTreeRequest(QString socketPath, std::function<void(const Answer&)> answered)
    : m_socketPath(std::move(socketPath))
    , m_answered(std::move(answered))
{
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this,
            [this] { finish(Unexpected{QStringLiteral("sway did not answer")}); });
    connect(&m_socket, &QLocalSocket::connected, this,
            [this] { m_socket.write(swayipc::frame(swayipc::getTree)); });
    connect(&m_socket, &QLocalSocket::readyRead, this, &SwayTreeRequest::readAvailable);
    connect(&m_socket, &QLocalSocket::errorOccurred, this, [this](QLocalSocket::LocalSocketError error) {
        finish(Unexpected{
            error == QLocalSocket::PeerClosedError
                ? QStringLiteral("sway closed the IPC connection")
                : QStringLiteral("cannot reach sway at %1: %2").arg(m_socketPath, m_socket.errorString())});
    });
}

void SwayTreeRequest::start()
{
    m_timeout.start(swayipc::replyTimeoutMs);
    if (m_socketPath.isEmpty())
        return finish(Unexpected{QStringLiteral("no sway IPC socket (SWAYSOCK)")});
    m_socket.connectToServer(m_socketPath);
}

void SwayTreeRequest::readAvailable()
{
    m_buffer += m_socket.readAll();
    auto message = swayipc::takeMessage(m_buffer);
    if (!message)
        return finish(Unexpected{message.error()});
    if (!*message)
        return;
    // Events are never subscribed to on this connection, so the one message is the reply.
    if ((*message)->type != swayipc::getTree)
        return finish(Unexpected{QStringLiteral("sway IPC replied with type %1").arg((*message)->type)});
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson((*message)->payload, &error);
    if (!document.isObject())
        return finish(Unexpected{QStringLiteral("sway's tree is not JSON: %1").arg(error.errorString())});
    finish(document.object());
}

void SwayTreeRequest::finish(const Answer& answer)
{
    if (m_finished)
        return;
    m_finished = true;
    m_timeout.stop();
    m_socket.disconnect(this);
    m_socket.abort();
    deleteLater();
    m_answered(answer);
}

} // namespace tessary
