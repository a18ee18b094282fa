#pragma once

#include <QString>

#include <functional>

class QObject;

namespace tessary {

// Whether this session lets Tessary read other applications and type into them, and the switch
// that makes applications expose their content: org.a11y.Status.IsEnabled on the session bus.
// Typing and the frontmost window need X11; a Wayland session is reported, not attempted.
class AccessibilityEnabling {
public:
    enum class Session { x11, wayland, none };

    static Session session();
    // A sentence for the user when the session cannot work; empty when it can.
    static QString sessionProblem();

    // org.a11y.Status.IsEnabled, read from the accessibility bus launcher; false when unreachable.
    static bool isEnabled();
    // Sets IsEnabled (the launcher keeps it for later sessions). Firefox picks it up at once; Qt
    // applications and Chromium when they next start. Returns whether it now reads as set.
    static bool enable();
    // Whether the X server offers the XTest extension that typing needs.
    static bool hasXTest();

    // Access is granted when accessibility is on in a session that can type keys (X11 with XTest, or sway).
    static bool granted();
    // The same without blocking: `answer` runs from the event loop once the launcher replies or
    // its time-out passes, unless `context` is gone by then (it owns the pending reply).
    static void checkGranted(QObject* context, std::function<void(bool)> answer);
};

} // namespace tessary
