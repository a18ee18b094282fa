#pragma once

#include "common/BackendError.h"
#include "common/Records.h"

#include <QJsonObject>

namespace tessary {

// Strict decoding of the backend's records: a missing or mistyped required field fails the whole
// reply with a message naming the field; optional fields may be missing or null; unknown keys are
// ignored. `where` names the value in the reply ("messages[2]") so the message can point at it.
BackendResult<Message> decodeMessage(const QJsonValue& value, const QString& where);
BackendResult<QList<Message>> decodeMessages(const QJsonObject& reply);
BackendResult<Account> decodeAccount(const QJsonValue& value, const QString& where);

} // namespace tessary
