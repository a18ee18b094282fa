#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>
#include <thread>

namespace httplib {
class Server;
}

namespace tessary::test {

// Serves the files of one folder over HTTP on 127.0.0.1, on a port the system picks. It runs on
// threads of its own, so a browser can load a page while the test's thread waits in an
// accessibility call.
class PageServer {
public:
    explicit PageServer(const QString& folder);
    ~PageServer();
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    QString url(const QString& page) const;
    // Every path asked for so far, with its query, in order.
    QStringList requested() const;

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    QStringList m_requested;
};

} // namespace tessary::test
