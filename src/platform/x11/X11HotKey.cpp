#include "platform/x11/X11HotKey.h"

#include "hotkey/KeyCodes.h"
#include "platform/x11/ServerKeymap.h"

#include <QGuiApplication>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

namespace tessary {

namespace {

constexpr unsigned int relevantModifiers = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;

// Super carries the Command bit, Alt the Option bit.
unsigned int xModifiers(qint64 carbon)
{
    unsigned int mask = 0;
    if (carbon & modifier::command)
        mask |= Mod4Mask;
    if (carbon & modifier::shift)
        mask |= ShiftMask;
    if (carbon & modifier::option)
        mask |= Mod1Mask;
    if (carbon & modifier::control)
        mask |= ControlMask;
    return mask;
}

// The modifier bit Num Lock is mapped to on this server; Mod2 on nearly every setup.
unsigned int numLockMask(Display* display)
{
    unsigned int mask = Mod2Mask;
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map)
        return mask;
    for (int modifierIndex = 0; modifierIndex < 8 && numLock != 0; ++modifierIndex)
        for (int k = 0; k < map->max_keypermod; ++k)
            if (map->modifiermap[modifierIndex * map->max_keypermod + k] == numLock)
                mask = 1u << modifierIndex;
    XFreeModifiermap(map);
    return mask;
}

// Catches the errors of the requests made while it lives, instead of Xlib's default handler
// ending the process. Xlib's handler is process-wide, so the previous one is put back after.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display)
        : m_display(display)
    {
        XSync(m_display, False); // earlier requests' errors are not ours
        s_failed = false;
        m_previous = XSetErrorHandler(&ErrorTrap::handle);
    }
    ~ErrorTrap() { XSetErrorHandler(m_previous); }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits until the server has answered every request made so far.
    bool failed()
    {
        XSync(m_display, False);
        return s_failed;
    }

private:
    static int handle(Display*, XErrorEvent*)
    {
        s_failed = true;
        return 0;
    }

    static inline bool s_failed = false;
    Display* m_display;
    XErrorHandler m_previous = nullptr;
};

} // namespace

X11HotKey::X11HotKey()
{
    // The offscreen platform answers for X11 too, but with no display behind it.
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->display()) {
        m_display = x11->display();
        m_root = DefaultRootWindow(m_display);
        // Qt asks for the XKB events that report a new keyboard map; their code tells them apart.
        int opcode = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
        if (!XkbQueryExtension(m_display, &opcode, &m_xkbEvent, &error, &major, &minor))
            m_xkbEvent = -1;
        qGuiApp->installNativeEventFilter(this);
    }
}

X11HotKey::~X11HotKey()
{
    release();
    if (m_display && qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

bool X11HotKey::registerShortcut(const std::optional<Shortcut>& shortcut)
{
    release();
    if (!shortcut)
        return true;
    if (!m_display)
        return false;
    // Bound by what the key typed when recorded, as the desktop's own shortcuts are: the key that
    // types it now, followed through layout changes.
    const std::optional<quint32> keysym = keysymForShortcut(*shortcut);
    const unsigned char keycode = keysym ? ServerKeymap(m_display).keycodeOf(*keysym) : 0;
    if (keycode == 0)
        return false;
    const Grab wanted{*keysym, keycode, xModifiers(shortcut->modifiers)};
    if (!grab(wanted))
        return false;
    m_grab = wanted;
    return true;
}

void X11HotKey::release()
{
    if (m_grab) {
        ungrab(*m_grab);
        XFlush(m_display);
    }
    m_grab.reset();
    m_keyDown = false;
    m_releasedAt.reset();
}

bool X11HotKey::grab(const Grab& wanted)
{
    const unsigned int numLock = numLockMask(m_display);
    ErrorTrap trap(m_display);
    for (const unsigned int locks : {0u, unsigned(LockMask), numLock, LockMask | numLock})
        XGrabKey(m_display, int(wanted.keycode), wanted.modifiers | locks, m_root, False, GrabModeAsync,
                 GrabModeAsync);
    if (!trap.failed())
        return true;
    // Some variants may have been granted before one was refused; give those back too.
    ungrab(wanted);
    trap.failed();
    return false;
}

void X11HotKey::ungrab(const Grab& held)
{
    const unsigned int numLock = numLockMask(m_display);
    for (const unsigned int locks : {0u, unsigned(LockMask), numLock, LockMask | numLock})
        XUngrabKey(m_display, int(held.keycode), held.modifiers | locks, m_root);
}

void X11HotKey::followKeymap()
{
    const unsigned char keycode = ServerKeymap(m_display).keycodeOf(m_grab->keysym);
    if (keycode == 0 || keycode == m_grab->keycode)
        return;
    ungrab(*m_grab);
    Grab moved = *m_grab;
    moved.keycode = keycode;
    m_keyDown = false;
    m_releasedAt.reset();
    // The new key held by another client, the shortcut is gone, as after a refusal.
    if (grab(moved))
        m_grab = moved;
    else
        m_grab.reset();
}

bool X11HotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (!m_grab || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const uint8_t type = event->response_type & ~0x80;
    // An XKB event's kind is its second byte (where other events keep their detail).
    if (type == m_xkbEvent && (event->pad0 == XkbNewKeyboardNotify || event->pad0 == XkbMapNotify)) {
        followKeymap();
        return false;
    }
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    const auto* key = static_cast<const xcb_key_press_event_t*>(message);
    if (key->detail != m_grab->keycode)
        return false;
    if (type == XCB_KEY_RELEASE) {
        const bool wasOurs = m_keyDown;
        m_keyDown = false;
        m_releasedAt = key->time;
        return wasOurs;
    }
    // The server's auto-repeat of a held key arrives as a release and a press carrying the same
    // time stamp; a real release and a new press never share one.
    const bool repeat = m_releasedAt && *m_releasedAt == key->time;
    m_releasedAt.reset();
    if (repeat) {
        m_keyDown = true;
        return true;
    }
    if ((key->state & relevantModifiers) != m_grab->modifiers)
        return false;
    if (!m_keyDown) {
        m_keyDown = true;
        deliverPress();
    }
    return true;
}

} // namespace tessary
