#include "platform/sway/SwayEvents.h"

#include "platform/sway/SwayIpc.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace tessary {

namespace {

constexpr quint32 subscribeMessage = 2;

} // namespace

SwayEvents::SwayEvents(const QString& socketPath, const QStringList& events, QObject* parent)
    : QObject(parent)
{
    const QByteArray names = QJsonDocument(QJsonArray::fromStringList(events)).toJson(QJsonDocument::Compact);
    const QByteArray subscription = swayipc::frame(subscribeMessage, names);
    // A socket that never connects simply reports nothing.
    connect(&m_socket, &QLocalSocket::connected, this,
            [this, subscription] { m_socket.write(subscription); });
    connect(&m_socket, &QLocalSocket::readyRead, this, &SwayEvents::readAvailable);
    m_socket.connectToServer(socketPath);
}

void SwayEvents::readAvailable()
{
    m_buffer += m_socket.readAll();
    for (;;) {
        auto message = swayipc::takeMessage(m_buffer);
        if (!message) {
            m_socket.abort(); // not sway talking: stop listening rather than misread the rest
            return;
        }
        if (!*message)
            return;
        // The subscription's own reply comes first and is no event.
        if ((*message)->type & eventBit)
            emit event((*message)->type, QJsonDocument::fromJson((*message)->payload).object());
        else
            m_subscribed = QJsonDocument::fromJson((*message)->payload)[QLatin1String("success")].toBool();
    }
}

} // namespace tessary
