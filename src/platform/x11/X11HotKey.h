#pragma once

#include "hotkey/HotKey.h"

#include <QAbstractNativeEventFilter>

#include <optional>

typedef struct _XDisplay Display;

namespace tessary {

// The fill shortcut as a passive key grab on the root window of the application's own X
// connection, so presses arrive with Qt's other xcb events. The grab is taken for every
// combination of Num Lock and Caps Lock, which X counts as modifiers. A combination another
// client holds makes the grab fail with BadAccess; that is a refusal, and nothing stays grabbed.
// The key is the one that carries the shortcut's key in the keyboard map of the moment, and the
// grab moves along when the layout changes (as a session's settings set it after our start).
class X11HotKey : public HotKey, public QAbstractNativeEventFilter {
public:
    // Uses the X connection of the running QGuiApplication; without one (another platform
    // plugin, as on Wayland) every combination is refused, and globalKeysAvailable says why.
    X11HotKey();
    ~X11HotKey() override;

    bool registerShortcut(const std::optional<Shortcut>& shortcut) override;
    void release() override;
    bool globalKeysAvailable() const override { return m_display != nullptr; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        unsigned long keysym = 0;
        unsigned int keycode = 0;
        unsigned int modifiers = 0; // X modifier mask without the lock variants
    };

    bool grab(const Grab& wanted);
    void ungrab(const Grab& held);
    // Grabs the key that carries the shortcut's key now, when the keyboard map moved it.
    void followKeymap();

    Display* m_display = nullptr;
    unsigned long m_root = 0;
    int m_xkbEvent = -1; // the event code of the XKB extension's events
    std::optional<Grab> m_grab;
    bool m_keyDown = false;                   // auto-repeat of a held key is not another press
    std::optional<unsigned int> m_releasedAt; // X time stamp of the grabbed key's last release
};

} // namespace tessary
