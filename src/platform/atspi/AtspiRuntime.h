#pragma once

#include <QObject>

class QTimer;

namespace tessary {

// libatspi for this process: initialised once, with every D-Bus call bounded, and its events
// delivered on the main thread.
//
// libatspi dispatches its D-Bus traffic (the focus events among it) from GLib's default main
// context. Qt on Linux runs its main thread on that same context (QEventDispatcherGlib), so Qt's
// own event loop delivers AT-SPI events between timer ticks: no second thread, no locking, and
// elements never cross threads. Only when Qt was started without GLib (QT_NO_GLIB) does a timer
// pump the context instead.
class AtspiRuntime : public QObject {
    Q_OBJECT
public:
    // How long one call into another application may take before it reads as "none". A hung
    // application costs at most this, never a frozen focus loop.
    static constexpr int callTimeoutMs = 400;
    // The same for an application that has only just registered and may still be building its tree.
    static constexpr int startupTimeoutMs = 1500;

    // Initialises libatspi when a session bus is reachable. Call on the main thread.
    explicit AtspiRuntime(QObject* parent = nullptr);

    // False without a session bus or accessibility bus: every read then reads as none.
    bool available() const { return m_available; }
    // Whether Qt's own event loop dispatches libatspi's events (the normal case on Linux).
    static bool eventsRunInQtLoop();

private:
    bool m_available = false;
    QTimer* m_pump = nullptr;
};

} // namespace tessary
