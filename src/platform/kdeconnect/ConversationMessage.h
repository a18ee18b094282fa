#pragma once

#include "common/Records.h"

#include <optional>

class QDBusArgument;

namespace tessary {

// One message of KDE Connect's conversations interface, the D-Bus struct
// (i event, s body, a(s) addresses, x date ms, i type, i read, x threadID, i uID, x subID,
// a(xsss) attachments), as the phone `deviceId` named `deviceName` reported it. None when the
// argument is not that struct.
std::optional<SmsMessage> decodeConversationMessage(const QDBusArgument& argument, const QString& deviceId,
                                                    const QString& deviceName);

} // namespace tessary
