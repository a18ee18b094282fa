#include "server/ImapSession.h"

#include <QTimer>

namespace tessary::server {

namespace {
constexpr auto stopCheck = std::chrono::milliseconds(100); // how soon a wait notices `stop`
} // namespace

ImapSession::ImapSession(const ImapSettings& settings, QString host, const std::atomic<bool>* stop)
    : m_stop(stop)
    , m_connection(settings, std::move(host), &m_stopFlag)
{
}

void ImapSession::run()
{
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &m_loop, [this] {
        if (m_stop && m_stop->load() && !m_stopFlag.isRaised())
            m_stopFlag.raise();
    });
    check.start(stopCheck);
    m_loop.exec();
}

void ImapSession::logout()
{
    (void)wait(m_connection.logout());
}

} // namespace tessary::server
