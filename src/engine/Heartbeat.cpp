#include "engine/Heartbeat.h"

#include "engine/Controller.h"
#include "engine/HeartbeatBus.h"

#include <QPointer>

namespace tessary {

Heartbeat::Heartbeat(HeartbeatBus& bus, Clock& clock, Timings timings, bool developerBuild)
    : m_bus(bus)
    , m_clock(clock)
    , m_timings(timings)
    , m_developerBuild(developerBuild)
{
}

void Heartbeat::start(Controller& controller)
{
    if (m_developerBuild) {
        announce();
        return;
    }
    QPointer<Heartbeat> self(this);
    m_bus.listen([self, &controller] {
        if (self)
            self->heard(controller);
    });
}

QCoro::Task<> Heartbeat::announce()
{
    QPointer<Heartbeat> self(this);
    for (;;) {
        m_bus.post();
        co_await m_clock.sleep(m_timings.heartbeatEvery);
        if (!self)
            co_return;
    }
}

void Heartbeat::heard(Controller& controller)
{
    const auto now = m_clock.steadyNow();
    // The first heartbeat after a quiet spell: the developer build takes over from here.
    if (!m_last || now - *m_last >= m_timings.heartbeat)
        controller.dismiss();
    m_last = now;
    controller.restUntil(now + m_timings.heartbeat);
}

} // namespace tessary
