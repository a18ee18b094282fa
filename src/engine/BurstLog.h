#pragma once

#include "common/Records.h"

#include <QLoggingCategory>

#include <optional>

namespace tessary {

// "<app id>.burst", on at info level by default: one line per code or link found, with how long
// each phase took. Nothing else of the engine is logged; never a token, never a message.
Q_DECLARE_LOGGING_CATEGORY(burstLog)

// The provider of the inbox a message came from, as the log names it ("Gmail", "IMAP"): the
// account whose id heads the message id ("<account>.<uidvalidity>.<uid>", as our backend names
// messages), else the one provider of the active inboxes, else "inbox".
QString inboxName(const std::optional<QString>& messageId, const QList<Account>& accounts);

} // namespace tessary
