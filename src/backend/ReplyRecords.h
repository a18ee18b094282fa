#pragma once

#include "backend/BackendApi.h"

#include <QJsonValue>
#include <QSet>

namespace tessary {

// The reply of each endpoint, decoded strictly from the reply's JSON value (any JSON value: a
// reply that is not an object fails with a message saying so).

BackendResult<QString> decodeInstall(const QJsonValue& reply);              // {"token": string}
BackendResult<QList<Account>> decodeAccountsReply(const QJsonValue& reply); // {"accounts": [Account]}
BackendResult<ConnectLink> decodeLink(const QJsonValue& reply);             // {"url", "accountId"}
BackendResult<Account> decodeAdded(const QJsonValue& reply);                // {"account": Account}
BackendResult<QList<Message>> decodeMessagesReply(const QJsonValue& reply); // {"messages": [Message]}
BackendResult<QSet<QString>> decodeIds(const QJsonValue& reply);            // {"ids": [string]}, a set

} // namespace tessary
