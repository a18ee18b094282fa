#pragma once

#include "common/AppIdentity.h"
#include "common/Clock.h"
#include "common/Timings.h"

#include <QObject>

#include <optional>

namespace tessary {

class Controller;
class HeartbeatBus;

// A developer build and a normal build may run side by side: the developer build announces itself
// every `heartbeatEvery`, and the normal build's controller rests while it hears it, dismissing
// its chip at the first announcement after a quiet spell. Main thread only.
class Heartbeat : public QObject {
    Q_OBJECT
public:
    Heartbeat(HeartbeatBus& bus, Clock& clock, Timings timings = {}, bool developerBuild = isDevBuild());

    // Starts announcing (developer build) or listening on behalf of `controller`, which must
    // outlive this object.
    void start(Controller& controller);

private:
    QCoro::Task<> announce();
    void heard(Controller& controller);

    HeartbeatBus& m_bus;
    Clock& m_clock;
    Timings m_timings;
    bool m_developerBuild;
    std::optional<std::chrono::steady_clock::time_point> m_last;
};

} // namespace tessary
