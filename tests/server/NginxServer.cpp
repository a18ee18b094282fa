#include "NginxServer.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace tessary::test {

namespace {

// The config of a hosted install, shrunk to a test: every request to any instance, a held poll
// given longer than its 10 s hold, and a request an instance could not take (it died) tried on the
// next one, as a load balancer in front of the backends is set up.
QByteArray config(const QString& dir, quint16 port, const QList<QString>& backends)
{
    QByteArray servers;
    for (const QString& backend : backends)
        servers += "    server " + backend.toUtf8() + " max_fails=1 fail_timeout=5s;\n";
    const QByteArray folder = dir.toUtf8();
    return "daemon off;\nmaster_process off;\nworker_processes 1;\npid " + folder +
           "/nginx.pid;\n"
           "error_log " +
           folder +
           "/error.log warn;\n"
           "events { worker_connections 4096; }\n"
           "http {\n"
           "  access_log off;\n"
           "  client_body_temp_path " +
           folder +
           "/body;\n"
           "  proxy_temp_path " +
           folder +
           "/proxy;\n"
           "  fastcgi_temp_path " +
           folder +
           "/fastcgi;\n"
           "  uwsgi_temp_path " +
           folder +
           "/uwsgi;\n"
           "  scgi_temp_path " +
           folder +
           "/scgi;\n"
           "  upstream backends {\n" +
           servers +
           "    keepalive 32;\n  }\n"
           "  server {\n"
           "    listen 127.0.0.1:" +
           QByteArray::number(port) +
           ";\n"
           "    location / {\n"
           "      proxy_pass http://backends;\n"
           "      proxy_http_version 1.1;\n"
           "      proxy_set_header Connection \"\";\n"
           "      proxy_set_header Host $host;\n"
           "      proxy_read_timeout 30s;\n"
           "      proxy_next_upstream error timeout http_502 http_503 non_idempotent;\n"
           "    }\n"
           "  }\n"
           "}\n";
}

} // namespace

NginxServer::NginxServer(const QList<QString>& backends)
{
    for (int attempt = 0; attempt < 3 && !start(backends); ++attempt) {
    }
}

NginxServer::~NginxServer()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
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
    const QByteArray configFile = QFile::encodeName(file);
    const QByteArray prefix = QFile::encodeName(m_dir.path() + QLatin1Char('/'));
    m_pid = fork();
    if (m_pid == 0) {
        execlp("nginx", "nginx", "-p", prefix.constData(), "-c", configFile.constData(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), m_port);
        if (socket.waitForConnected(200))
            return true;
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid)
            break;
        QThread::msleep(50);
    }
    QFile log(m_dir.filePath(QStringLiteral("error.log")));
    log.open(QIODevice::ReadOnly);
    m_error = QStringLiteral("nginx did not start: ") + QString::fromUtf8(log.readAll().right(2000));
    if (m_pid > 0 && waitpid(m_pid, nullptr, WNOHANG) == 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    m_pid = 0;
    return false;
}

} // namespace tessary::test
