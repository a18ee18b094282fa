#pragma once

#include <QObject>

#include <atomic>
#include <memory>
#include <vector>

class QThread;

namespace tessary::server {

// A fixed few threads, each running a Qt event loop, that all inbox watchers share: a watcher is
// a coroutine that gives its thread back whenever it waits for a mail server, so a thousand
// inboxes need no more threads than ten.
class WatcherLoops {
public:
    explicit WatcherLoops(int threads = 2);
    ~WatcherLoops(); // every watcher must have ended before
    WatcherLoops(const WatcherLoops&) = delete;
    WatcherLoops& operator=(const WatcherLoops&) = delete;

    // An object living on one of the loops, each loop in turn: what a watcher runs on.
    QObject* next();

private:
    std::vector<std::unique_ptr<QThread>> m_threads;
    std::vector<std::unique_ptr<QObject>> m_homes;
    std::atomic<size_t> m_next{0};
};

} // namespace tessary::server
