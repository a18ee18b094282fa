#pragma once

#include <QByteArray>
#include <QList>

#include <memory>

struct wl_display;
struct wl_interface;
struct wl_registry;
class QSocketNotifier;

namespace tessary {

// A client connection of our own to the compositor of this session ($WAYLAND_DISPLAY), apart from
// Qt's: the virtual keyboard and the chip's layer surface speak protocols Qt does not, and a
// connection of our own serves them whichever platform plugin Qt runs on. Its events are read
// and dispatched from Qt's event loop, and what was queued is sent before the loop sleeps. Null
// when there is no compositor, so every user reads "nothing" instead of crashing.
class WaylandDisplay {
public:
    WaylandDisplay();
    ~WaylandDisplay();
    WaylandDisplay(const WaylandDisplay&) = delete;
    WaylandDisplay& operator=(const WaylandDisplay&) = delete;

    wl_display* display() const { return m_display; }
    // False without a compositor and once the connection broke (compositor gone, protocol error).
    explicit operator bool() const { return m_display && !m_broken; }

    // Binds the compositor's global of `interface` at `version`, or at the compositor's own when
    // that is lower; null when it offers none. The caller owns the proxy.
    template <typename Proxy>
    Proxy* bind(const wl_interface& interface, unsigned version) const
    {
        return static_cast<Proxy*>(bindGlobal(interface, version));
    }
    // Sends what is queued and waits until the compositor has handled it and every event it sent
    // back has been dispatched. False once the connection is broken.
    bool roundtrip();
    // Sends what is queued now, without waiting.
    void flush();

    // A global the compositor offers.
    struct Global {
        unsigned name = 0;
        QByteArray interface;
        unsigned version = 0;
    };

private:
    void* bindGlobal(const wl_interface& interface, unsigned version) const;
    void dispatch();
    void checkError();

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    QList<Global> m_globals;
    bool m_broken = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace tessary
