#include "platform/wayland/WaylandDisplay.h"

#include "common/Logging.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QtDebug>

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>

namespace tessary {

namespace {

const wl_registry_listener registryListener = {
    .global =
        [](void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
            static_cast<QList<WaylandDisplay::Global>*>(data)->append({name, QByteArray(interface), version});
        },
    .global_remove =
        [](void* data, wl_registry*, uint32_t name) {
            static_cast<QList<WaylandDisplay::Global>*>(data)->removeIf(
                [name](const WaylandDisplay::Global& global) { return global.name == name; });
        },
};

} // namespace

WaylandDisplay::WaylandDisplay()
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return;
    m_display = wl_display_connect(nullptr);
    if (!m_display)
        return;
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &registryListener, &m_globals);
    wl_display_roundtrip(m_display);
    checkError();
    if (m_broken)
        return;

    m_notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(m_display), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { dispatch(); });
    if (QAbstractEventDispatcher* loop = QAbstractEventDispatcher::instance())
        QObject::connect(loop, &QAbstractEventDispatcher::aboutToBlock, m_notifier.get(),
                         [this] { flush(); });
}

WaylandDisplay::~WaylandDisplay()
{
    m_notifier.reset();
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_display)
        wl_display_disconnect(m_display);
}

void* WaylandDisplay::bindGlobal(const wl_interface& interface, unsigned version) const
{
    if (!*this)
        return nullptr;
    const auto global = std::find_if(m_globals.begin(), m_globals.end(), [&](const Global& offered) {
        return offered.interface == interface.name;
    });
    if (global == m_globals.end())
        return nullptr;
    return wl_registry_bind(m_registry, global->name, &interface, std::min(version, global->version));
}

bool WaylandDisplay::roundtrip()
{
    if (*this && wl_display_roundtrip(m_display) < 0)
        checkError();
    return bool(*this);
}

void WaylandDisplay::flush()
{
    if (*this && wl_display_flush(m_display) < 0 && errno != EAGAIN)
        checkError();
}

void WaylandDisplay::dispatch()
{
    if (!*this)
        return;
    // The socket was readable when the loop looked, but a roundtrip made since may have read it
    // already: read only what is there now (wl_display_dispatch would wait for more, and the
    // compositor may send nothing for a long while), then dispatch what is queued.
    if (wl_display_prepare_read(m_display) == 0 && wl_display_read_events(m_display) < 0) {
        checkError();
        return;
    }
    if (wl_display_dispatch_pending(m_display) < 0)
        checkError();
}

void WaylandDisplay::checkError()
{
    if (!m_display || !wl_display_get_error(m_display))
        return;
    qCWarning(logWayland, "the connection to the Wayland compositor broke (error %d)",
              wl_display_get_error(m_display));
    // Proxies made on it stay valid memory until their owners destroy them; nothing is sent or read
    // from now on.
    m_broken = true;
    m_notifier.reset();
}

} // namespace tessary
