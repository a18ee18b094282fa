#pragma once

#include <QFile>
#include <QStringList>
#include <QTcpServer>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <functional>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace tessary::test {

// A server program a test runs itself, stopped by its own pid (never by name) when destroyed.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool isRunning() const { return m_pid > 0; }
    // Runs `command`, its output appended to `log` when given, and looks every 50 ms whether it is
    // `ready`: false, the program stopped, once it exits or `looks` run out first.
    bool start(const QStringList& command, const std::function<bool()>& ready, int looks,
               const QString& log = {})
    {
        std::vector<QByteArray> arguments;
        for (const QString& argument : command)
            arguments.push_back(argument.toUtf8());
        std::vector<char*> argv;
        for (QByteArray& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        const QByteArray output = QFile::encodeName(log);
        m_pid = fork();
        if (m_pid == 0) {
            if (!output.isEmpty() &&
                (!freopen(output.constData(), "a", stdout) || !freopen(output.constData(), "a", stderr)))
                _exit(126);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        for (int look = 0; look < looks && m_pid > 0; ++look) {
            if (ready())
                return true;
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid)
                m_pid = 0;
            else
                QThread::msleep(50);
        }
        stop();
        return false;
    }
    void stop(int signal = SIGTERM)
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, signal);
        waitpid(m_pid, nullptr, 0);
        m_pid = 0;
    }

private:
    pid_t m_pid = 0;
};

inline bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// A loopback port free now, for a server that can't be told to pick one; 0 when none is.
inline quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

// The end of a server's log, to say why it did not start or why a test failed.
inline QString logTail(const QString& path)
{
    QFile log(path);
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll().right(2000)) : QString();
}

} // namespace tessary::test
