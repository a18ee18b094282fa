#include "app/StartupSequence.h"

namespace tessary {

StartupSequence::StartupSequence(QObject* parent)
    : QObject(parent)
{
    m_next.setSingleShot(true);
    m_next.setInterval(0);
    connect(&m_next, &QTimer::timeout, this, &StartupSequence::runNext);
}

StartupSequence& StartupSequence::then(std::function<void()> job)
{
    m_jobs.push_back(std::move(job));
    if (!m_next.isActive())
        m_next.start();
    return *this;
}

void StartupSequence::runNext()
{
    if (m_jobs.empty())
        return;
    const std::function<void()> job = std::move(m_jobs.front());
    m_jobs.pop_front();
    job();
    if (!m_jobs.empty() && !m_next.isActive())
        m_next.start();
}

} // namespace tessary
