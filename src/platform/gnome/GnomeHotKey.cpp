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
    QCoro::connect(m_shell->grabShortcut(*accelerator), &m_context, [text = *accelerator](bool grabbed) {
        if (!grabbed)
            qWarning().noquote() << "GNOME Shell refused the fill shortcut" << text
                                 << "(another program holds it): choose another one in Settings";
    });
    m_bound = true;
    return true;
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
