#include "platform/gnome/GnomeHotKey.h"

#include "platform/gnome/GnomeAccelerators.h"
#include "platform/gnome/GnomeShell.h"

#include <QCoro/QCoroTask>

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
    m_shortcut = *shortcut;
    m_accelerator = *accelerator;
    m_bound = true;
    grab();
    return true;
}

void GnomeHotKey::grab()
{
    QCoro::connect(m_shell->grabShortcut(m_accelerator), &m_context,
                   [this, grab = ++m_grabs](const std::optional<bool>& grabbed) {
                       // A shell that went away answers nothing; it is asked again when it returns.
                       if (!grabbed || grab != m_grabs || !m_bound)
                           return;
                       m_bound = *grabbed; // a refused grab leaves the shell holding nothing of ours
                       answerLater(m_shortcut, *grabbed);
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
