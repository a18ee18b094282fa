#pragma once

#include <QString>

#include <functional>

class QObject;

namespace tessary {

// The session-wide switch that makes applications expose their content to AT-SPI:
// org.a11y.Status.IsEnabled on the session bus. Whether the session can use what they expose (type
// keys, know the window in front) is the desktop's question, answered in platform/session.
class AccessibilityEnabling {
public:
    // org.a11y.Status.IsEnabled, read from the accessibility bus launcher; false when unreachable.
    static bool isEnabled();
    // Sets IsEnabled (the launcher keeps it for later sessions) without waiting: `done` runs from
    // the event loop with whether it now reads as set, unless `context` is gone by then. Firefox
    // picks it up at once; Qt applications and Chromium when they next start.
    static void enable(QObject* context, std::function<void(bool)> done);
    // isEnabled without blocking: `answer` runs from the event loop once the launcher replies or
    // its time-out passes, unless `context` is gone by then (it owns the pending reply).
    static void checkEnabled(QObject* context, std::function<void(bool)> answer);
};

} // namespace tessary
