#include "platform/wayland/WaylandKeyboard.h"

#include "common/Logging.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <QCoro/QCoroTimer>
#include <QtDebug>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <chrono>

namespace tessary {

namespace {

using namespace std::chrono_literals;

// How long the focused application gets to take our keymap when the seat switches to our keyboard.
constexpr auto keymapSettle = 50ms;

// Key event times are milliseconds on a clock of the client's choosing; only their order counts.
std::uint32_t eventTime()
{
    using namespace std::chrono;
    return std::uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The keymap in a memory file, as the protocol passes it; -1 when that failed. The
// compositor reads it as one string, its terminating NUL included.
int keymapFile(const QByteArray& text)
{
    const int fd = memfd_create("tessary-keymap", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    const qsizetype size = text.size() + 1;
    if (write(fd, text.constData(), size_t(size)) != ssize_t(size)) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

WaylandKeyboard::WaylandKeyboard(WaylandDisplay& display)
    : m_display(display)
{
    m_seat = display.bind<wl_seat>(wl_seat_interface, 1);
    m_manager = display.bind<zwp_virtual_keyboard_manager_v1>(zwp_virtual_keyboard_manager_v1_interface, 1);
    if (!m_seat || !m_manager)
        return;
    m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_manager, m_seat);
    // A compositor may refuse us the keyboard with a protocol error; the roundtrip shows it.
    if (!uploadKeymap() || !m_display.roundtrip()) {
        qCWarning(logWayland, "the Wayland compositor did not take our virtual keyboard");
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
        m_keyboard = nullptr;
    }
}

WaylandKeyboard::~WaylandKeyboard()
{
    releaseHeldKeys();
    if (m_keyboard)
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
    if (m_manager)
        zwp_virtual_keyboard_manager_v1_destroy(m_manager);
    if (m_seat)
        wl_seat_destroy(m_seat);
    m_display.flush();
}

bool WaylandKeyboard::available() const
{
    return m_keyboard && bool(m_display);
}

bool WaylandKeyboard::uploadKeymap()
{
    const QByteArray text = m_keymap.text();
    const int fd = keymapFile(text);
    if (fd < 0)
        return false;
    zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   std::uint32_t(text.size() + 1));
    // The request carries a copy of the descriptor.
    close(fd);
    return true;
}

void WaylandKeyboard::sendKey(unsigned key, bool down)
{
    zwp_virtual_keyboard_v1_key(m_keyboard, eventTime(), key,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

bool WaylandKeyboard::keysHeld()
{
    return available() && !m_down.isEmpty();
}

void WaylandKeyboard::releaseHeldKeys()
{
    if (!available())
        return;
    for (const unsigned key : std::as_const(m_down))
        sendKey(key, false);
    m_down.clear();
    // Whatever the compositor made of our keys, no modifier of ours is in effect any more. The
    // modifiers also make ours the seat's keyboard, which hands our keymap to the focused application.
    zwp_virtual_keyboard_v1_modifiers(m_keyboard, 0, 0, 0, 0);
    m_display.flush();
    m_becameActive = true;
}

bool WaylandKeyboard::layoutHolds(const QString& text)
{
    return !available() || text.isEmpty() ||
           VirtualKeymap::isFixed(xkb_utf32_to_keysym(text.toUcs4().value(0)));
}

QCoro::Task<> WaylandKeyboard::postKey(QString text, bool down)
{
    if (!available() || text.isEmpty())
        co_return;
    const std::uint32_t keysym = xkb_utf32_to_keysym(text.toUcs4().value(0));
    if (!down) {
        if (const auto key = m_down.constFind(keysym); key != m_down.cend()) {
            sendKey(*key, false);
            m_down.erase(key);
            m_display.flush();
        }
        co_return;
    }
    const QList<unsigned> keysDown = m_down.values();
    const std::optional<VirtualKeymap::Placement> placement =
        m_keymap.place(keysym, QSet<unsigned>(keysDown.cbegin(), keysDown.cend()));
    if (!placement || m_down.contains(keysym))
        co_return;
    if (m_becameActive) {
        // Firefox lost the first key of a code now and then when it came with the keymap of a
        // keyboard the seat had just switched to: the application gets a moment to take it.
        m_becameActive = false;
        if (!m_display.roundtrip())
            co_return;
        co_await QCoro::sleepFor(keymapSettle);
    }
    if (placement->keymapChanged) {
        // The compositor hands the new keymap to the focused application ahead of the key, on
        // the same connection, so once it has taken it the key types the new character.
        if (!uploadKeymap() || !m_display.roundtrip())
            co_return;
    }
    sendKey(placement->key, true);
    m_down.insert(keysym, placement->key);
    m_display.flush();
}

} // namespace tessary
