#include "NginxServer.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>

namespace tessary::test {

namespace {

// The config of a hosted install, shrunk to a test: every request to any instance, a held poll
// given longer than its 10 s hold, and a request an instance could not take (it died) tried on the
// next one, as a load balancer in front of the backends is set up.
QByteArray config(const QString& dir, quint16 port, const QList<QString>& backends)
{
    QString servers;
    for (const QString& backend : backends)
        servers += "    server " + backend + " max_fails=1 fail_timeout=5s;\n";
    return QStringLiteral(R"(daemon off;
master_process off;
worker_processes 1;
pid %1/nginx.pid;
error_log %1/error.log warn;
events { worker_connections 4096; }
http {
  access_log off;
  client_body_temp_path %1/body;
  proxy_temp_path %1/proxy;
  fastcgi_temp_path %1/fastcgi;
  uwsgi_temp_path %1/uwsgi;
  scgi_temp_path %1/scgi;
  upstream backends {
%2    keepalive 32;
  }
  server {
    listen 127.0.0.1:%3;
    location / {
      proxy_pass http://backends;
      proxy_http_version 1.1;
      proxy_set_header Connection "";
      proxy_set_header Host $host;
      proxy_set_header X-Forwarded-For $remote_addr;
      proxy_read_timeout 30s;
      proxy_next_upstream error timeout http_502 http_503 non_idempotent;
    }
  }
}
)")
        .arg(dir, servers, QString::number(port))
        .toUtf8();
}

} // namespace

NginxServer::NginxServer(const QList<QString>& backends)
{
    for (int attempt = 0; attempt < 3 && !start(backends); ++attempt) {
    }
}

QString NginxServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

bool NginxServer::start(const QList<QString>& backends)
{
    // nginx can't be told to take any free port; one is picked here, and another tried should
    // someone else take it in between.
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost)) {
        m_error = QStringLiteral("no free port");
        return false;
    }
    m_port = probe.serverPort();
    probe.close();
    const QString file = m_dir.filePath(QStringLiteral("nginx.conf"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(config(m_dir.path(), m_port, backends)) < 0) {
        m_error = QStringLiteral("can't write ") + file;
        return false;
    }
    out.close();
    const auto listens = [this] {
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), m_port);
        return socket.waitForConnected(200);
    };
    if (m_process.start({"nginx", "-p", m_dir.path() + QLatin1Char('/'), "-c", file}, listens, 100))
        return true;
    m_error = QStringLiteral("nginx did not start: ") + logTail(m_dir.filePath(QStringLiteral("error.log")));
    return false;
}

} // namespace tessary::test
