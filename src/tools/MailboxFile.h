#pragma once

#include "common/Records.h"

#include <optional>

namespace tessary::inspect {

// The messages of a mailbox file ({"messages": [...]} in the backend's format). A file that cannot
// be read, is not JSON or holds a malformed message is reported on stderr in one line naming the
// file and the fault; the caller then exits with exitBadInput and prints nothing.
std::optional<QList<Message>> readMailbox(const QString& path);

} // namespace tessary::inspect
