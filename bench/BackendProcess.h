#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <httplib.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tessary::bench {

using Clock = std::chrono::steady_clock;

double millisSince(Clock::time_point start);
double percentile(std::vector<double> values, double fraction);
// A wall-clock second to ask "since" from, once it has begun: mail of an earlier round
// (INTERNALDATE counts whole seconds) is never newer than it.
double nextWholeSecond();

// A process's threads and its resident memory now and at its peak, from /proc (VmRSS, VmHWM in
// kB; Threads).
QJsonObject processFigures(qint64 pid);

// tessary-backend as its own process, on a port the system picks, its data in a folder of its own
// (`configure` writes backend.json there first), the credential key in a file; stopped by its pid.
// `arguments` add to its command line, e.g. `--database URL --key-file FILE` for one of many
// instances on a shared PostgreSQL.
class BackendProcess {
public:
    explicit BackendProcess(const std::function<bool(const QString& dataDir)>& configure,
                            const QStringList& arguments = {});
    ~BackendProcess();
    BackendProcess(const BackendProcess&) = delete;
    BackendProcess& operator=(const BackendProcess&) = delete;

    bool isRunning() const { return !m_address.empty(); }
    const std::string& address() const { return m_address; } // "127.0.0.1:PORT"
    uint16_t port() const;
    qint64 pid() const { return m_process.processId(); }
    QJsonObject figures() const { return processFigures(pid()); }
    double stopMs(); // SIGTERM, and how long the backend takes to exit
    void kill();     // SIGKILL, as when its machine dies
    QString errorOutput()
    {
        return QString::fromUtf8(m_process.readAllStandardError());
    } // why it did not start

    std::string install(); // a new install's token; empty when refused
    httplib::Result post(const std::string& token, const std::string& path, const QJsonObject& body,
                         int timeoutSeconds);
    httplib::Result get(const std::string& token, const std::string& path, int timeoutSeconds);

private:
    QTemporaryDir m_data;
    QProcess m_process;
    std::string m_address;
};

} // namespace tessary::bench
