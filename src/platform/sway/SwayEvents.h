#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QLocalSocket>
#include <QObject>
#include <QStringList>

namespace tessary {

// A standing connection to sway that reports the events it subscribed to as they happen, from
// the event loop. When sway goes away the connection ends and nothing more is reported.
class SwayEvents : public QObject {
    Q_OBJECT
public:
    // sway numbers events with the high bit set; workspace events include "reload".
    static constexpr quint32 eventBit = 0x80000000u;
    static constexpr quint32 workspaceEvent = eventBit | 0;

    // Subscribes to `events` ("workspace", "window"...) on the socket at `socketPath`.
    SwayEvents(const QString& socketPath, const QStringList& events, QObject* parent = nullptr);

    // Whether sway has taken the subscription and the connection stands: until then, and after,
    // an event may pass unreported.
    bool listening() const { return m_subscribed && m_socket.state() == QLocalSocket::ConnectedState; }

signals:
    void event(quint32 type, const QJsonObject& body);

private:
    void readAvailable();

    QLocalSocket m_socket;
    QByteArray m_buffer;
    bool m_subscribed = false;
};

} // namespace tessary
