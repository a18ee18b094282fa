#include "desktop/screen/PageServer.h"

#include <httplib.h>

namespace tessary::test {

PageServer::PageServer(const QString& folder)
    : m_server(std::make_unique<httplib::Server>())
{
    m_server->set_mount_point("/", folder.toStdString());
    m_server->set_file_extension_and_mimetype_mapping("html", "text/html; charset=utf-8");
    // One request per connection: a browser's idle connections would each hold a worker thread.
    m_server->set_keep_alive_max_count(1);
    m_server->set_logger([this](const httplib::Request& request, const httplib::Response&) {
        std::lock_guard lock(m_mutex);
        m_requested.append(QString::fromStdString(request.target));
    });
    m_port = m_server->bind_to_any_port("127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
}

PageServer::~PageServer()
{
    m_server->stop();
    m_thread.join();
}

QStringList PageServer::requested() const
{
    std::lock_guard lock(m_mutex);
    return m_requested;
}

QString PageServer::url(const QString& page) const
{
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(m_port).arg(page);
}

} // namespace tessary::test
