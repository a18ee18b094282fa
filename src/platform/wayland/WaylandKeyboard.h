#pragma once

#include "platform/wayland/VirtualKeymap.h"
#include "platform/wayland/WaylandDisplay.h"
#include "screen/Keyboard.h"

#include <QHash>

#include <cstdint>

struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

namespace tessary {

// The keyboard seam on a Wayland compositor that speaks zwp_virtual_keyboard_v1 (sway and the
// other wlroots ones). It is a keyboard of the seat like any other, with a keymap of our own
// (VirtualKeymap): a character types as the keysym of a key of its own, added to the keymap when it
// is first needed. Made once at start and kept: a seat with no keyboard (a headless one, or a
// tablet's) activates no window and sends no focus events until some keyboard exists.
// The compositor does not tell us what the user's own keyboard holds, so keysHeld() and
// releaseHeldKeys() see our own keys only.
class WaylandKeyboard final : public Keyboard {
public:
    explicit WaylandKeyboard(WaylandDisplay& display);
    ~WaylandKeyboard() override;
    WaylandKeyboard(const WaylandKeyboard&) = delete;
    WaylandKeyboard& operator=(const WaylandKeyboard&) = delete;

    // False without a compositor, without a seat or without the protocol (GNOME, KDE), or once
    // the connection broke: every call then does nothing.
    bool available() const;

    bool keysHeld() override;
    void releaseHeldKeys() override;
    QCoro::Task<> postKey(QString text, bool down) override;
    bool layoutHolds(const QString& text) override;

private:
    bool uploadKeymap();
    void sendKey(unsigned key, bool down);

    WaylandDisplay& m_display;
    wl_seat* m_seat = nullptr;
    zwp_virtual_keyboard_manager_v1* m_manager = nullptr;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    VirtualKeymap m_keymap;
    QHash<std::uint32_t, unsigned> m_down; // keysym -> key, of our keys that are down
    // Set when releaseHeldKeys made ours the seat's keyboard again, until the next key goes out.
    bool m_becameActive = false;
};

} // namespace tessary
