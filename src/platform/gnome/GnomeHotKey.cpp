#include "platform/gnome/GnomeHotKey.h"

#include "platform/gnome/GnomeAccelerators.h"
#include "platform/gnome/GnomeShell.h"

#include <QCoro/QCoroTask>
#include <QDebug>

namespace tessary {

GnomeHotKey::GnomeHotKey(std::shared_ptr<GnomeShell> shell)
    : m_shell(std::move(shell))
{
    QObject::connect(m_shell.get(), &GnomeShell::shortcutPressed, &m_context, [this] {
        if (m_bound)
            deliverPress();
    });
    // The extension let go of every key it bound for us when it went.
    QObject::connect(m_shell.get(), &GnomeShell::returned, &m_context, [this] {
        if (m_bound)
            grab();
    });
}

GnomeHotKey::~GnomeHotKey()
{
    release();
}

bool GnomeHotKey::registerShortcut(const std::optional<Shortcut>& shortcut)
{
    release();
    if (!shortcut)
        return true;
    const std::optional<QString> accelerator = gnomekeys::acceleratorOf(*shortcut);
    const std::optional<gnomekeys::Combo> combo =
        accelerator ? gnomekeys::parseAccelerator(*accelerator) : std::nullopt;
    if (!combo || m_shell->missing() || gnomekeys::boundCombos().contains(*combo))
        return false;
    m_accelerator = *accelerator;
    m_bound = true;
    grab();
    return true;
}

void GnomeHotKey::grab()
{
    QCoro::connect(m_shell->grabShortcut(m_accelerator), &m_context, [text = m_accelerator](bool grabbed) {
        if (!grabbed)
            qWarning().noquote() << "GNOME Shell refused the fill shortcut" << text
                                 << "(another program holds it): choose another one in Settings";
    });
}

void GnomeHotKey::release()
{
    if (m_bound)
        m_shell->releaseShortcut();
    m_bound = false;
}

bool GnomeHotKey::globalKeysAvailable() const
{
    return !m_shell->missing();
}

} // namespace tessary
