#pragma once

#include "platform/kdeconnect/KdeConnectSms.h"

namespace tessary {

// The text messages of this session's phones: KDE Connect's daemon on the session bus, the one
// phone service that reports received messages (GSConnect has no signal for them).
using SessionSms = KdeConnectSms;
inline const QString sessionSmsSource = QStringLiteral("kdeconnect");

} // namespace tessary
