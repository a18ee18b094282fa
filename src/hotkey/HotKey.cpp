#include "hotkey/HotKey.h"

namespace tessary {

std::optional<QString> HotKey::claim(const std::optional<Shortcut>& shortcut)
{
    if (registerShortcut(shortcut))
        return std::nullopt;
    return globalKeysAvailable() ? shortcutConflictMessage(shortcut) : shortcutUnavailableMessage();
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
