#include "BackendProcess.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>

#include <algorithm>
#include <cstring>
#include <thread>

namespace tessary::bench {

using namespace std::chrono;

double millisSince(Clock::time_point start)
{
    return duration<double, std::milli>(Clock::now() - start).count();
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[std::min(values.size() - 1, size_t(fraction * double(values.size())))];
}

double nextWholeSecond()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    std::this_thread::sleep_for(milliseconds(1000 - now % 1000 + 20));
    return double(now / 1000 + 1);
}

QJsonObject processFigures(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    status.open(QIODevice::ReadOnly);
    QJsonObject figures;
    for (const QByteArray& line : status.readAll().split('\n'))
        for (const char* name : {"VmRSS", "VmHWM", "Threads"})
            if (line.startsWith(QByteArray(name) + ':'))
                figures.insert(QString::fromLatin1(name),
                               line.mid(qsizetype(strlen(name)) + 1).trimmed().split(' ').first().toInt());
    return figures;
}

BackendProcess::BackendProcess(const std::function<bool(const QString& dataDir)>& configure,
                               const QStringList& arguments)
{
    if (!configure(m_data.path()))
        return;
    m_process.start(QStringLiteral(TESSARY_BACKEND_PROGRAM),
                    QStringList{"--listen", "127.0.0.1:0", "--data", m_data.path(), "--no-keyring"} +
                        arguments);
    while (!m_process.canReadLine() && m_process.waitForReadyRead(20000)) {
    }
    if (m_process.canReadLine()) {
        const QByteArray line = m_process.readLine().trimmed();
        m_address = line.mid(line.indexOf("http://") + 7).toStdString();
    }
}

BackendProcess::~BackendProcess()
{
    m_process.terminate();
    m_process.waitForFinished(60000);
}

uint16_t BackendProcess::port() const
{
    return uint16_t(std::stoi(m_address.substr(m_address.find(':') + 1)));
}

double BackendProcess::stopMs()
{
    const auto start = Clock::now();
    m_process.terminate();
    m_process.waitForFinished(120000);
    return millisSince(start);
}

void BackendProcess::kill()
{
    m_process.kill();
    m_process.waitForFinished(10000);
}

std::string BackendProcess::install()
{
    httplib::Client client("http://" + m_address);
    const auto reply = client.Post("/v1/installs");
    return reply && reply->status == 200
               ? QJsonDocument::fromJson(QByteArray::fromStdString(reply->body))["token"]
                     .toString()
                     .toStdString()
               : std::string();
}

httplib::Result BackendProcess::post(const std::string& token, const std::string& path,
                                     const QJsonObject& body, int timeoutSeconds)
{
    httplib::Client client("http://" + m_address);
    client.set_read_timeout(timeoutSeconds);
    client.set_bearer_token_auth(token.c_str());
    return client.Post(path, QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
                       "application/json");
}

httplib::Result BackendProcess::get(const std::string& token, const std::string& path, int timeoutSeconds)
{
    httplib::Client client("http://" + m_address);
    client.set_read_timeout(timeoutSeconds);
    client.set_bearer_token_auth(token.c_str());
    return client.Get(path);
}

} // namespace tessary::bench
