#pragma once

#include "common/Clock.h"
#include "engine/ChipSurface.h"
#include "hotkey/HotKey.h"
#include "platform/freedesktop/StatusIcon.h"
#include "screen/Keyboard.h"

#include <QString>

#include <memory>

namespace tessary {

class GnomeShell;
class LayerSurface;
class WaylandDisplay;

// What differs between desktops: how keys are typed, how the fill shortcut is had and how the chip
// floats over other applications. X11 types through XTest, grabs the key on the root window and
// floats a Qt window; sway types through a virtual keyboard, binds the key in sway and shows the
// chip on a layer surface; KWin types through its fake input, takes the key from kglobalaccel and
// shows the chip on a layer surface too; GNOME does all three, and shows the panel's icon, through
// Tessary's shell extension.
// Chosen once, from the session. The keyboard is made at once, because on sway a seat with no
// keyboard sends no focus events; the hot key and the chip when first asked for, so a command
// that only types makes neither.
class SessionDevices {
public:
    explicit SessionDevices(Clock& clock);
    ~SessionDevices();
    SessionDevices(const SessionDevices&) = delete;
    SessionDevices& operator=(const SessionDevices&) = delete;

    Keyboard& keyboard() { return *m_keyboard; }
    // Why keys cannot be typed in this session; empty when they can.
    const QString& typingProblem() const { return m_typingProblem; }
    HotKey& hotKey();
    // Needs a QApplication: the chip is a widget.
    ChipSurface& chip();
    // The panel's icon; needs a QApplication too.
    StatusIcon& statusIcon();

private:
    // Declared first, so it goes last: everything below draws, types or binds through it.
    std::unique_ptr<WaylandDisplay> m_wayland;
    std::shared_ptr<GnomeShell> m_gnome;
    std::unique_ptr<LayerSurface> m_layer;
    std::unique_ptr<Keyboard> m_keyboard;
    std::unique_ptr<HotKey> m_hotKey;
    std::unique_ptr<ChipSurface> m_chip;
    std::unique_ptr<StatusIcon> m_statusIcon;
    QString m_typingProblem;
};

// The session's global shortcut alone, for a command that needs nothing else.
std::unique_ptr<HotKey> makeSessionHotKey();

} // namespace tessary
