#include "platform/kwin/FakeInputKeyboard.h"

#include "common/Logging.h"

#include "fake-input-client-protocol.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <utility>

#include <sys/mman.h>
#include <unistd.h>

namespace tessary {

namespace {

// Key presses go out as evdev codes; the keyboard_key request came with version 4.
constexpr std::uint32_t fakeInputVersion = 4;

const QString layoutsService = QStringLiteral("org.kde.keyboard");
const QString layoutsPath = QStringLiteral("/Layouts");
const QString layoutsInterface = QStringLiteral("org.kde.KeyboardLayouts");
constexpr int layoutTimeoutMs = 500;

std::uint32_t keysymOf(const QString& text)
{
    return xkb_utf32_to_keysym(text.toUcs4().value(0));
}

void seatCapabilities(void* data, wl_seat*, std::uint32_t capabilities)
{
    static_cast<FakeInputKeyboard*>(data)->seatCapabilities(capabilities);
}
void seatName(void*, wl_seat*, const char*) {}
const wl_seat_listener seatListener{seatCapabilities, seatName};

void keymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size)
{
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1)
        static_cast<FakeInputKeyboard*>(data)->keymapArrived(fd, size);
    close(fd);
}
void enter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
void leave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
void key(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
void modifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t)
{
}
void repeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}
const wl_keyboard_listener keyboardListener{keymap, enter, leave, key, modifiers, repeatInfo};

} // namespace

FakeInputKeyboard::FakeInputKeyboard(WaylandDisplay& display)
    : m_display(display)
{
    m_fakeInput = display.bind<org_kde_kwin_fake_input>(org_kde_kwin_fake_input_interface, fakeInputVersion);
    if (m_fakeInput && org_kde_kwin_fake_input_get_version(m_fakeInput) < fakeInputVersion) {
        org_kde_kwin_fake_input_destroy(m_fakeInput);
        m_fakeInput = nullptr;
    }
    m_seat = display.bind<wl_seat>(wl_seat_interface, 1);
    if (!m_fakeInput || !m_seat)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(layoutsService, layoutsPath, layoutsInterface, QStringLiteral("layoutChanged"), this,
                SLOT(layoutChanged(uint)));
    m_layoutAnswer = new QDBusPendingCallWatcher(
        bus.asyncCall(QDBusMessage::createMethodCall(layoutsService, layoutsPath, layoutsInterface,
                                                     QStringLiteral("getLayout")),
                      layoutTimeoutMs),
        this);
    connect(m_layoutAnswer, &QDBusPendingCallWatcher::finished, this, [this] {
        const QDBusPendingReply<uint> layout = *m_layoutAnswer;
        std::exchange(m_layoutAnswer, nullptr)->deleteLater();
        if (layout.isValid())
            layoutChanged(layout.value());
        else
            qCWarning(logKwin,
                      "KWin did not say which keyboard layout is in effect (%s): the first is typed in",
                      qPrintable(layout.error().message()));
    });
    org_kde_kwin_fake_input_authenticate(m_fakeInput, "Tessary", "Types the verification codes you fill");
    wl_seat_add_listener(m_seat, &seatListener, this);
    // The first roundtrip brings the seat's capabilities, the second the keyboard's keymap.
    m_display.roundtrip();
    m_display.roundtrip();
    if (!m_keymap)
        qCWarning(logKwin, "KWin sent no keymap for its seat: nothing can be typed");
}

FakeInputKeyboard::~FakeInputKeyboard()
{
    releaseHeldKeys();
    if (m_seatKeyboard)
        wl_keyboard_destroy(m_seatKeyboard);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_fakeInput)
        org_kde_kwin_fake_input_destroy(m_fakeInput);
    m_display.flush();
}

void FakeInputKeyboard::seatCapabilities(std::uint32_t capabilities)
{
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && !m_seatKeyboard) {
        m_seatKeyboard = wl_seat_get_keyboard(m_seat);
        wl_keyboard_add_listener(m_seatKeyboard, &keyboardListener, this);
    }
}

void FakeInputKeyboard::keymapArrived(int fd, std::uint32_t size)
{
    void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED)
        return;
    // The text ends with a NUL the size counts.
    m_keymapText = QByteArray(static_cast<const char*>(mapped),
                              qsizetype(qstrnlen(static_cast<const char*>(mapped), size)));
    munmap(mapped, size);
    readKeymap();
}

void FakeInputKeyboard::layoutChanged(uint layout)
{
    m_layout = layout;
    readKeymap();
}

void FakeInputKeyboard::readKeymap()
{
    // A key already down is let go on the codes it went down on.
    if (std::optional<LayoutKeymap> keymap = LayoutKeymap::fromText(m_keymapText, m_layout))
        m_keymap = std::move(keymap);
}

bool FakeInputKeyboard::available() const
{
    return m_fakeInput && m_keymap && bool(m_display);
}

void FakeInputKeyboard::awaitLayout() const
{
    // Delivers the answer, and so the layout, before it returns.
    if (m_layoutAnswer)
        m_layoutAnswer->waitForFinished();
}

bool FakeInputKeyboard::canType(const QString& text) const
{
    awaitLayout();
    return m_keymap && m_keymap->strokeFor(keysymOf(text));
}

void FakeInputKeyboard::sendKey(unsigned key, bool down)
{
    org_kde_kwin_fake_input_keyboard_key(
        m_fakeInput, key, down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

bool FakeInputKeyboard::keysHeld()
{
    return available() && !m_down.isEmpty();
}

void FakeInputKeyboard::releaseHeldKeys()
{
    if (!available())
        return;
    for (const LayoutKeymap::Stroke& stroke : std::as_const(m_down))
        release(stroke);
    m_down.clear();
    m_display.flush();
}

void FakeInputKeyboard::release(const LayoutKeymap::Stroke& stroke)
{
    sendKey(stroke.key, false);
    for (qsizetype i = stroke.modifiers.size() - 1; i >= 0; --i)
        sendKey(stroke.modifiers[i], false);
}

QCoro::Task<> FakeInputKeyboard::postKey(QString text, bool down)
{
    if (!available() || text.isEmpty())
        co_return;
    awaitLayout();
    const std::uint32_t keysym = keysymOf(text);
    if (!down) {
        const auto held = m_down.constFind(keysym);
        if (held == m_down.cend())
            co_return;
        release(*held);
        m_down.erase(held);
        m_display.flush();
        co_return;
    }
    const std::optional<LayoutKeymap::Stroke> stroke = m_keymap->strokeFor(keysym);
    if (!stroke || m_down.contains(keysym))
        co_return;
    for (const unsigned modifier : stroke->modifiers)
        sendKey(modifier, true);
    sendKey(stroke->key, true);
    m_down.insert(keysym, *stroke);
    m_display.flush();
}

} // namespace tessary
