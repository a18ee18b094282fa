#pragma once

#include "common/Records.h"

#include <QVariantMap>

#include <optional>

namespace tessary {

// A phone's notification as KDE Connect shows it on the bus (the properties appName, title, text,
// ticker, internalId, silent), read as a text message when a messages app posted it: the title
// is the sender, the text the body, dated `arrivedMs` since the notification carries no time of
// its own. None for other apps, for a notification without text, and for a silent one (a phone
// posts those again on every reconnect). Repeats of the same app's notification with the
// same text are one message.
std::optional<SmsMessage> decodeNotification(const QVariantMap& properties, const QString& deviceId,
                                             qint64 arrivedMs);

// Messages apps in the languages codes are read in: Messages, Messaging, Textra, Mensajes,
// Nachrichten, Сообщения…
bool isMessagesApp(const QString& appName);

} // namespace tessary
