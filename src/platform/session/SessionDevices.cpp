#include "platform/session/SessionDevices.h"

#include "chip/ChipPanel.h"
#include "common/AppIdentity.h"
#include "platform/freedesktop/TrayStatusIcon.h"
#include "platform/gnome/GnomeHotKey.h"
#include "platform/gnome/GnomeKeyboard.h"
#include "platform/gnome/GnomePanelIcon.h"
#include "platform/gnome/GnomePictureSurface.h"
#include "platform/gnome/GnomeShell.h"
#include "platform/kwin/FakeInputKeyboard.h"
#include "platform/kwin/KGlobalAccelHotKey.h"
#include "platform/session/DesktopSession.h"
#include "platform/session/SessionAccessibility.h"
#include "platform/sway/SwayHotKey.h"
#include "platform/wayland/LayerChipPanel.h"
#include "platform/wayland/WaylandDisplay.h"
#include "platform/wayland/WaylandKeyboard.h"
#include "platform/wayland/WaylandLayerSurface.h"
#include "platform/x11/X11HotKey.h"
#include "platform/x11/XTestKeyboard.h"

#include <QCoreApplication>
#include <QScreen>

namespace tessary {

namespace {

bool onSway()
{
    return DesktopSession::current() == DesktopSession::Kind::sway;
}

bool onKwin()
{
    return DesktopSession::current() == DesktopSession::Kind::kwin;
}

// Where a desktop entry must name this executable for KWin to let it type.
QString kwinTypingProblem()
{
    return QStringLiteral("KWin lets Tessary type only when a desktop entry names %1 and grants it "
                          "X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input (the package installs one)")
        .arg(QCoreApplication::applicationFilePath());
}

bool onGnome()
{
    return DesktopSession::current() == DesktopSession::Kind::gnome;
}

} // namespace

SessionDevices::SessionDevices(Clock& clock)
{
    if (onGnome()) {
        m_gnome = sessionGnomeShell();
        m_keyboard = std::make_unique<GnomeKeyboard>(m_gnome);
        return;
    }
    if (onKwin()) {
        m_wayland = std::make_unique<WaylandDisplay>();
        auto keyboard = std::make_unique<FakeInputKeyboard>(*m_wayland);
        if (keyboard->available()) {
            m_keyboard = std::move(keyboard);
            return;
        }
        m_typingProblem = kwinTypingProblem();
    } else if (DesktopSession::isWayland(DesktopSession::current())) {
        m_wayland = std::make_unique<WaylandDisplay>();
        auto keyboard = std::make_unique<WaylandKeyboard>(*m_wayland);
        if (keyboard->available()) {
            m_keyboard = std::move(keyboard);
            return;
        }
        m_typingProblem =
            QStringLiteral("the compositor offers no virtual keyboard: synthetic typing is impossible");
    }
    // Also where a compositor offers no virtual keyboard: XTest then still reaches XWayland windows.
    auto xtest = std::make_unique<XTestKeyboard>(clock);
    if (!xtest->available() && m_typingProblem.isEmpty())
        m_typingProblem =
            QStringLiteral("the X server has no XTest extension: synthetic typing is impossible");
    m_keyboard = std::move(xtest);
}

SessionDevices::~SessionDevices() = default;

std::unique_ptr<HotKey> makeSessionHotKey()
{
    if (onGnome())
        return std::make_unique<GnomeHotKey>(sessionGnomeShell());
    if (onSway())
        return std::make_unique<SwayHotKey>(qEnvironmentVariable("SWAYSOCK"), applicationId());
    if (onKwin())
        return std::make_unique<KGlobalAccelHotKey>(applicationId());
    return std::make_unique<X11HotKey>();
}

HotKey& SessionDevices::hotKey()
{
    if (!m_hotKey)
        m_hotKey = makeSessionHotKey();
    return *m_hotKey;
}

ChipSurface& SessionDevices::chip()
{
    if (!m_chip) {
        if (m_gnome) {
            m_layer = std::make_unique<GnomePictureSurface>(m_gnome);
            // The shell says the scale it draws the picture at on each monitor: laying them out in
            // logical pixels, 1; in device pixels (its default, and what an extension that does
            // not say means), the monitor's scale.
            m_chip = std::make_unique<LayerChipPanel>(*m_layer, [gnome = m_gnome](const QScreen& screen) {
                return gnome->pictureScale(screen.geometry().center()).value_or(chipAtScreenRatio(screen));
            });
        } else if (m_wayland) {
            // KWin activates a clicked layer surface, taking the keyboard from the app with the
            // field, unless the surface is a dock.
            auto layer = onKwin() ? std::make_unique<WaylandLayerSurface>(*m_wayland, "dock")
                                  : std::make_unique<WaylandLayerSurface>(*m_wayland);
            if (layer->available()) {
                m_layer = std::move(layer);
                m_chip = std::make_unique<LayerChipPanel>(*m_layer, chipAsQtSizes);
            }
        }
        // Where no layer shell exists, a window of our own is the best there is.
        if (!m_chip)
            m_chip = std::make_unique<ChipPanel>();
    }
    return *m_chip;
}

StatusIcon& SessionDevices::statusIcon()
{
    if (!m_statusIcon) {
        if (m_gnome)
            m_statusIcon = std::make_unique<GnomePanelIcon>(m_gnome);
        else
            m_statusIcon = std::make_unique<TrayStatusIcon>();
    }
    return *m_statusIcon;
}

} // namespace tessary
