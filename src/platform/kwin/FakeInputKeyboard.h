#pragma once

#include "platform/kwin/LayoutKeymap.h"
#include "platform/wayland/WaylandDisplay.h"
#include "screen/Keyboard.h"

#include <QByteArray>
#include <QHash>
#include <QObject>

#include <cstdint>
#include <optional>

class QDBusPendingCallWatcher;
struct org_kde_kwin_fake_input;
struct wl_keyboard;
struct wl_seat;

namespace tessary {

// The keyboard seam on KWin under Wayland, through org_kde_kwin_fake_input. KWin runs those key
// presses through the user's own layout, so a character is typed with the keys that give it there
// (LayoutKeymap, from the keymap KWin sends our seat's keyboard), and a character the layout lacks
// cannot be typed at all: canType says so before anything is pressed. KWin offers the protocol
// only to an executable its desktop entry grants it to (X-KDE-Wayland-Interfaces). KWin keeps every
// layout the user set up in one keymap and switches between them without sending another: which
// one is in effect comes from its keyboard service (org.kde.keyboard), asked once at start without
// waiting and followed through its signal.
class FakeInputKeyboard final : public QObject, public Keyboard {
    Q_OBJECT
public:
    explicit FakeInputKeyboard(WaylandDisplay& display);
    ~FakeInputKeyboard() override;
    FakeInputKeyboard(const FakeInputKeyboard&) = delete;
    FakeInputKeyboard& operator=(const FakeInputKeyboard&) = delete;

    // False when KWin did not grant the protocol, without a seat keyboard's keymap, or once the
    // connection broke: every call then does nothing.
    bool available() const;

    bool keysHeld() override;
    void releaseHeldKeys() override;
    QCoro::Task<> postKey(QString text, bool down) override;
    bool canType(const QString& text) const override;

    // Called from the seat's listeners.
    void seatCapabilities(std::uint32_t capabilities);
    void keymapArrived(int fd, std::uint32_t size);

private slots:
    void layoutChanged(uint layout);

private:
    void readKeymap();
    // A question or a key before the service answered waits for the answer there, bounded by the
    // call's timeout: the start waits for nothing.
    void awaitLayout() const;

    void sendKey(unsigned key, bool down);
    void release(const LayoutKeymap::Stroke& stroke);

    WaylandDisplay& m_display;
    wl_seat* m_seat = nullptr;
    wl_keyboard* m_seatKeyboard = nullptr;
    org_kde_kwin_fake_input* m_fakeInput = nullptr;
    QByteArray m_keymapText;
    QDBusPendingCallWatcher* m_layoutAnswer = nullptr; // until the keyboard service answered
    uint m_layout = 0;                                 // the layout in effect, by its place in the keymap
    std::optional<LayoutKeymap> m_keymap;
    QHash<std::uint32_t, LayoutKeymap::Stroke> m_down; // keysym -> its stroke, while down
};

} // namespace tessary
