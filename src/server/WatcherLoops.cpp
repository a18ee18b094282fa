#include "server/WatcherLoops.h"

#include <QThread>

namespace tessary::server {

WatcherLoops::WatcherLoops(int threads)
{
    for (int i = 0; i < std::max(threads, 1); ++i) {
        auto thread = std::make_unique<QThread>();
        thread->setObjectName(QStringLiteral("imap-loop-%1").arg(i));
        auto home = std::make_unique<QObject>();
        home->moveToThread(thread.get());
        thread->start();
        m_threads.push_back(std::move(thread));
        m_homes.push_back(std::move(home));
    }
}

WatcherLoops::~WatcherLoops()
{
    for (const auto& thread : m_threads) {
        thread->quit();
        thread->wait();
    }
}

QObject* WatcherLoops::next()
{
    return m_homes[m_next++ % m_homes.size()].get();
}

} // namespace tessary::server
