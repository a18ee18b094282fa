#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSslConfiguration>
#include <QUrl>

#include <optional>

class QTcpServer;
class QTcpSocket;

namespace tessary::test {

// One request as the server received it. Header names are lower-case.
struct RecordedRequest {
    QByteArray method;
    QString path; // without the leading slash: "v1/messages/ids"
    QHash<QByteArray, QByteArray> headers;
    QByteArray body;

    QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
};

// What the server answers to one request.
struct ScriptedReply {
    enum class Ending {
        complete,     // the whole body, then the connection stays open for more requests
        closeMidBody, // headers promise the whole body, half of it is sent, then the connection closes
        never,        // nothing is ever sent
    };
    int status = 200;
    QByteArray contentType = "application/json";
    QByteArray body = "{}";
    Ending ending = Ending::complete;
    QByteArray extraHeaders; // "Name: value\r\n" lines, sent as they are

    static ScriptedReply json(int status, QByteArray body)
    {
        ScriptedReply reply;
        reply.status = status;
        reply.body = std::move(body);
        return reply;
    }
    static ScriptedReply typed(int status, QByteArray contentType, QByteArray body)
    {
        ScriptedReply reply = json(status, std::move(body));
        reply.contentType = std::move(contentType);
        return reply;
    }
};

// An HTTP/1.1 backend in the test process on a port the system picks, recording every request.
// Each path is answered from its script, else "v1/installs" hands out "token-1", "token-2", ... and
// any other path gets `fallbackReply`.
class FakeBackendServer : public QObject {
    Q_OBJECT
public:
    // Plain http, or https with the given server certificate and key when `tls` is set.
    explicit FakeBackendServer(std::optional<QSslConfiguration> tls = std::nullopt);
    ~FakeBackendServer() override;

    QUrl url() const; // http://127.0.0.1:PORT, or https://localhost:PORT
    void script(const QString& path, ScriptedReply reply);
    ScriptedReply fallbackReply;

    QList<RecordedRequest> requests;
    QList<RecordedRequest> requestsTo(const QString& path) const;
    int issuedTokens() const { return m_issuedTokens; }

signals:
    // A request arrived and was recorded, before it is answered.
    void received(const QString& path);

private:
    void accept();
    void readFrom(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const RecordedRequest& request);

    QTcpServer* m_server = nullptr;
    bool m_tls = false;
    QHash<QString, QList<ScriptedReply>> m_scripts;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    int m_issuedTokens = 0;
};

} // namespace tessary::test
