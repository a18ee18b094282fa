#include "server/BlockingPool.h"

namespace tessary::server {

BlockingPool::BlockingPool(int maxThreads, std::size_t maxQueued)
    : m_maxThreads(std::size_t(maxThreads))
    , m_maxQueued(maxQueued)
{
}

BlockingPool::~BlockingPool()
{
    stop();
}

bool BlockingPool::submit(std::function<void()> job)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopped || m_jobs.size() >= m_maxQueued)
            return false;
        m_jobs.push_back(std::move(job));
        if (m_idle < m_jobs.size() && m_threads.size() < m_maxThreads)
            m_threads.emplace_back([this] { work(); });
    }
    m_wake.notify_one();
    return true;
}

void BlockingPool::stop()
{
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        threads.swap(m_threads);
    }
    m_wake.notify_all();
    for (std::thread& thread : threads)
        thread.join();
}

void BlockingPool::work()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_mutex);
            ++m_idle;
            m_wake.wait(lock, [this] { return m_stopped || !m_jobs.empty(); });
            --m_idle;
            if (m_jobs.empty())
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

} // namespace tessary::server
