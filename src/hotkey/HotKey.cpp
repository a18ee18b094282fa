#include "hotkey/HotKey.h"

namespace tessary {

std::optional<QString> HotKey::claim(const std::optional<Shortcut>& shortcut)
{
    if (registerShortcut(shortcut))
        return std::nullopt;
    return refusalMessage(shortcut);
}

QString HotKey::refusalMessage(const std::optional<Shortcut>& shortcut) const
{
    return globalKeysAvailable() ? shortcutConflictMessage(shortcut) : shortcutUnavailableMessage();
}

void HotKey::answerLater(const Shortcut& shortcut, bool granted)
{
    if (m_answerHandler)
        m_answerHandler(granted ? std::nullopt : std::optional(refusalMessage(shortcut)));
}

void HotKey::deliverPress()
{
    QMetaObject::invokeMethod(
        &m_deliveryContext,
        [this] {
            if (m_pressHandler)
                m_pressHandler();
        },
        Qt::QueuedConnection);
}

} // namespace tessary
