#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace tessary {

// Turns the signals a session stops a process with (SIGTERM at logout or from the service manager,
// SIGINT from a terminal's Ctrl+C, SIGHUP when that terminal closes) into a call on the event loop,
// so the process can end in order: a killed process leaves its sway binding behind and loses the
// settings still being written. A second signal finds the previous handling back and acts at once,
// so a stop that hangs can still be forced. One at a time per process.
class StopSignals : public QObject {
public:
    explicit StopSignals(std::function<void(int signal)> stop, QObject* parent = nullptr);
    ~StopSignals() override;

private:
    void restorePreviousHandling();

    std::function<void(int)> m_stop;
    QSocketNotifier* m_notifier = nullptr; // set while this instance holds the pipe
    bool m_installed = false;
};

} // namespace tessary
