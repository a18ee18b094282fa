#pragma once

#include "common/Cancellation.h"
#include "common/TimePoint.h"

#include <QCoro/QCoroTask>

#include <chrono>

namespace tessary {

// Every "now" and every wait of the system goes through a Clock, so tests can run the engine's
// seconds-long waits in no time and check exactly how long each wait was.
class Clock {
public:
    virtual ~Clock() = default;
    // Wall time, for the backend's "since" and message ages.
    virtual TimePoint now() const = 0;
    // Monotonic time, for deadlines.
    virtual std::chrono::steady_clock::time_point steadyNow() const = 0;
    // Suspends the calling task for the duration, or until `cancel` is cancelled, whichever comes
    // first: a cancelled wait ends at once, and the caller checks the flag.
    virtual QCoro::Task<> sleep(std::chrono::nanoseconds duration, CancelToken cancel = {}) = 0;
};

// The real clock: the system's time and Qt timers.
class SystemClock : public Clock {
public:
    TimePoint now() const override;
    std::chrono::steady_clock::time_point steadyNow() const override;
    QCoro::Task<> sleep(std::chrono::nanoseconds duration, CancelToken cancel = {}) override;
};

} // namespace tessary
