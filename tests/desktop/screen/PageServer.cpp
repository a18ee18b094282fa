#include "desktop/screen/PageServer.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <future>

namespace tessary::test {

namespace {
// Answers one request; returns the path asked for, with its query.
QString answer(QTcpSocket* socket, const QString& folder)
{
    const QByteArray request = socket->readAll();
    const QList<QByteArray> words = request.left(request.indexOf('\n')).split(' ');
    const QString asked = words.size() >= 2 ? QString::fromUtf8(words.at(1)) : QString();
    const QString path = asked.section(QLatin1Char('?'), 0, 0);
    QFile file(folder + QLatin1Char('/') + path.section(QLatin1Char('/'), -1));
    QByteArray response;
    if (!path.contains(QLatin1String("..")) && file.open(QIODevice::ReadOnly)) {
        const QByteArray body = file.readAll();
        response = "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                   QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    } else {
        response = "HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    }
    socket->write(response);
    socket->disconnectFromHost();
    return asked;
}
} // namespace

PageServer::PageServer(QString folder)
    : m_folder(std::move(folder))
{
    std::promise<quint16> listening;
    std::future<quint16> port = listening.get_future();
    QObject::connect(&m_thread, &QThread::started, [this, &listening] {
        auto* server = new QTcpServer;
        QObject::connect(&m_thread, &QThread::finished, server, &QObject::deleteLater);
        QObject::connect(server, &QTcpServer::newConnection, server, [this, server, folder = m_folder] {
            while (QTcpSocket* socket = server->nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, folder] {
                    if (socket->bytesAvailable() > 0 && socket->peek(4096).contains("\r\n\r\n")) {
                        const QString asked = answer(socket, folder);
                        std::lock_guard lock(m_mutex);
                        m_requested.append(asked);
                    }
                });
            }
        });
        server->listen(QHostAddress::LocalHost, 0);
        listening.set_value(server->serverPort());
    });
    m_thread.start();
    m_port = port.get();
}

PageServer::~PageServer()
{
    m_thread.quit();
    m_thread.wait();
}

QStringList PageServer::requested() const
{
    std::lock_guard lock(m_mutex);
    return m_requested;
}

QString PageServer::url(const QString& page) const
{
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(m_port).arg(page);
}

} // namespace tessary::test
