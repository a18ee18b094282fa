#pragma once

#include "hotkey/Shortcut.h"

#include <QObject>

#include <functional>
#include <optional>

namespace tessary {

// The one system-wide registration of the fill shortcut. The X11 implementation grabs the key on
// the root window; tests use a fake. Everything runs on the main thread.
class HotKey {
public:
    HotKey() = default;
    HotKey(const HotKey&) = delete;
    HotKey& operator=(const HotKey&) = delete;
    virtual ~HotKey() = default;

    // Replaces the current registration by one for `shortcut`. True when `shortcut` is none or the
    // system accepted it; after a refusal nothing at all is registered, so the caller can claim
    // the previous combination again.
    virtual bool registerShortcut(const std::optional<Shortcut>& shortcut) = 0;
    // Whether this session lets an application have a global hot key at all. Where it does not
    // (a Wayland desktop with no X11 grab and no sway binding), every request fails, and saying the
    // combination is used by another app would send the user looking for a clash that is not there.
    virtual bool globalKeysAvailable() const { return true; }
    // Registers `shortcut` and says why not when that fails; none when it is claimed.
    std::optional<QString> claim(const std::optional<Shortcut>& shortcut);
    // Gives up the current registration, if any.
    virtual void release() = 0;

    // What a press runs. It is called from the event loop after the event that reported the
    // press has been handled, once per press.
    void setPressHandler(std::function<void()> handler) { m_pressHandler = std::move(handler); }

protected:
    // Called by an implementation when the registered combination is pressed.
    void deliverPress();

private:
    std::function<void()> m_pressHandler;
    // Queued presses die with the hot key instead of running a handler that is gone.
    QObject m_deliveryContext;
};

} // namespace tessary
