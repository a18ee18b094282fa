#pragma once

#include "ChildProcess.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>

namespace tessary::test {

// A throw-away nginx in front of a set of backends, as a hosted install runs it: one process
// (no master, no user switch), its config, logs and temp files in a temp folder, on a loopback port
// picked free just before it starts. Stopped by its own pid when destroyed.
class NginxServer {
public:
    // `backends`: the "127.0.0.1:PORT" of each instance behind it.
    explicit NginxServer(const QList<QString>& backends);
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    bool isReady() const { return m_process.isRunning(); }
    QString error() const { return m_error; }
    QString url() const; // http://127.0.0.1:PORT

private:
    bool start(const QList<QString>& backends);

    QTemporaryDir m_dir;
    ChildProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};

} // namespace tessary::test
