#include "server/Wakeup.h"

namespace tessary::server {

void Waker::arm(std::coroutine_handle<> waiting, std::chrono::milliseconds timeout)
{
    m_waiting = waiting;
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] { fire(); });
    m_timer.start(std::max(timeout, std::chrono::milliseconds(0)));
}

void Waker::fire()
{
    if (!m_waiting)
        return; // a second signal before the coroutine got back
    m_timer.stop();
    QTimer::singleShot(0, [waiting = std::exchange(m_waiting, {})] { waiting.resume(); });
}

Wakeup::Wakeup(const WakeFlag* stop, std::chrono::milliseconds timeout)
    : m_stop(stop)
    , m_timeout(timeout)
    , m_waker(std::make_shared<Waker>())
{
    // Connected before await_ready looks at the flag: a stop raised in between still wakes us.
    if (m_stop)
        on(m_stop, &WakeFlag::raised);
}

} // namespace tessary::server
