#include "hotkey/HotKey.h"

namespace tessary {

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
