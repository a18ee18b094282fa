#include "common/Clock.h"

#include <QCoro/QCoroTimer>
#include <QDateTime>
#include <QTimer>

namespace tessary {

TimePoint SystemClock::now() const
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

std::chrono::steady_clock::time_point SystemClock::steadyNow() const
{
    return std::chrono::steady_clock::now();
}

QCoro::Task<> SystemClock::sleep(std::chrono::nanoseconds duration, CancelToken cancel)
{
    if (isCancelled(cancel))
        co_return;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    timer.start(std::chrono::ceil<std::chrono::milliseconds>(duration));
    // A cancel fires the timer at once, which is the one signal the wait listens to.
    if (cancel)
        QObject::connect(cancel.get(), &CancelFlag::cancelled, &timer, [&timer] { timer.start(0); });
    co_await timer;
}

} // namespace tessary
