#include "platform/atspi/AtspiRuntime.h"

#include <QAbstractEventDispatcher>
#include <QDBusConnection>
#include <QTimer>

#include <atspi/atspi.h>

namespace tessary {

namespace {
bool initialise()
{
    // libatspi finds the accessibility bus through the session bus; without one it would only log.
    if (!QDBusConnection::sessionBus().isConnected())
        return false;
    static const bool initialised = [] {
        if (atspi_init() < 0)
            return false;
        atspi_set_timeout(AtspiRuntime::callTimeoutMs, AtspiRuntime::startupTimeoutMs);
        return true;
    }();
    return initialised;
}
} // namespace

AtspiRuntime::AtspiRuntime(QObject* parent)
    : QObject(parent)
    , m_available(initialise())
{
    if (m_available && !eventsRunInQtLoop()) {
        m_pump = new QTimer(this);
        m_pump->setInterval(50);
        connect(m_pump, &QTimer::timeout, this, [] {
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
        });
        m_pump->start();
    }
}

bool AtspiRuntime::eventsRunInQtLoop()
{
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    return dispatcher && dispatcher->inherits("QEventDispatcherGlib");
}

} // namespace tessary
