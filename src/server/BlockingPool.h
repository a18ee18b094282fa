#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tessary::server {

// A few threads for the work that may block (the database, checks of mail servers), so the
// threads that serve connections never wait on it. Threads start as work needs them, up to
// `maxThreads`. The queue is bounded: work beyond it is refused rather than kept waiting without end.
class BlockingPool {
public:
    BlockingPool(int maxThreads, std::size_t maxQueued);
    ~BlockingPool(); // runs what is queued, then joins
    BlockingPool(const BlockingPool&) = delete;
    BlockingPool& operator=(const BlockingPool&) = delete;

    // False when the queue is full or the pool has stopped; `job` then never runs.
    bool submit(std::function<void()> job);
    void stop();

private:
    void work();

    const std::size_t m_maxThreads;
    const std::size_t m_maxQueued;
    std::size_t m_idle = 0;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopped = false;
    std::vector<std::thread> m_threads;
};

} // namespace tessary::server
