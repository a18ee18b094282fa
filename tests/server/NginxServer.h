#pragma once

#include "ChildProcess.h"

#include <QTcpSocket>
#include <QTemporaryDir>

namespace tessary::test {

// A throw-away nginx in front of backends ("127.0.0.1:PORT" each), as a hosted install runs it: one
// process, its files in a temp folder, on a loopback port picked free just before it starts. Every
// request goes to any instance, a held poll gets longer than its 10 s hold, and a request an instance
// could not take (it died) is tried on the next. Stopped by its own pid when destroyed.
class NginxServer {
public:
    explicit NginxServer(const QList<QString>& backends)
    {
        for (int attempt = 0; attempt < 3 && !start(backends); ++attempt) {
        }
    }

    bool isReady() const { return m_process.isRunning(); }
    QString error() const { return m_error; }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

private:
    // nginx can't be told to take any free port: one is picked here, another should someone take it.
    bool start(const QList<QString>& backends)
    {
        if ((m_port = freePort()) == 0) {
            m_error = QStringLiteral("no free port");
            return false;
        }
        QString servers;
        for (const QString& backend : backends)
            servers += "    server " + backend + " max_fails=1 fail_timeout=5s;\n";
        const QString config = QStringLiteral(R"(daemon off;
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
)");
        const QString file = m_dir.filePath(QStringLiteral("nginx.conf"));
        if (!writeFile(file, config.arg(m_dir.path(), servers, QString::number(m_port)).toUtf8())) {
            m_error = "can't write " + file;
            return false;
        }
        const auto listens = [this] {
            QTcpSocket socket;
            socket.connectToHost(QStringLiteral("127.0.0.1"), m_port);
            return socket.waitForConnected(200);
        };
        if (m_process.start({"nginx", "-p", m_dir.path() + '/', "-c", file}, listens, 100))
            return true;
        m_error = "nginx did not start: " + logTail(m_dir.filePath(QStringLiteral("error.log")));
        return false;
    }

    QTemporaryDir m_dir;
    ChildProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};

} // namespace tessary::test
