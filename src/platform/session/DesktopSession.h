#pragma once

#include <QString>

namespace tessary {

// Which kind of desktop this process runs in, decided once at start from the environment the
// session manager set. Each kind has its own way to learn the frontmost window, type and place
// the chip: X11 through XTest and EWMH; sway (and wlroots compositors that speak its IPC) through
// JSON over $SWAYSOCK; KDE Plasma through KWin's scripting, fake input and kglobalaccel; GNOME
// through Tessary's own shell extension; other Wayland compositors offer no way to do it.
class DesktopSession {
public:
    enum class Kind { x11, sway, kwin, gnome, otherWayland, none };
    // The desktops whose Wayland sessions users ask about; what each lacks differs.
    enum class Desktop { gnome, kde, other };

    // The part of the environment the decision reads.
    struct Environment {
        QString sessionType;    // XDG_SESSION_TYPE
        QString waylandDisplay; // WAYLAND_DISPLAY
        QString display;        // DISPLAY
        QString swaySocket;     // SWAYSOCK
        QString currentDesktop; // XDG_CURRENT_DESKTOP, colon-separated
    };

    static Environment readEnvironment();
    static Kind classify(const Environment& environment);
    static Desktop desktop(const Environment& environment);
    // The session of this process, classified on first use and kept: a session does not change
    // under a running process, and the answer is asked on every tick.
    static Kind current();
    // Whether the session is a Wayland one, whose compositor answers for typing and the chip.
    static bool isWayland(Kind kind);

    // Stable lower-case names for logs and tessary-inspect: "x11", "sway", "kwin", "gnome",
    // "wayland", "none".
    static QString name(Kind kind);
    // One sentence on what Tessary cannot do in this session; empty when everything works.
    static QString problem(Kind kind);
};

} // namespace tessary
