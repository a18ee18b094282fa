#pragma once

#include <QString>
#include <QStringList>
#include <QThread>

#include <mutex>

namespace tessary::test {

// Serves the files of one folder over HTTP on 127.0.0.1, on a port the system picks. It runs on
// its own thread, so a browser can load a page while the test's thread waits in an
// accessibility call.
class PageServer {
public:
    explicit PageServer(QString folder);
    ~PageServer();
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    quint16 port() const { return m_port; }
    QString url(const QString& page) const;
    // Every path asked for so far, with its query, in order.
    QStringList requested() const;

private:
    QString m_folder;
    QThread m_thread;
    quint16 m_port = 0;
    mutable std::mutex m_mutex;
    QStringList m_requested;
};

} // namespace tessary::test
