#pragma once

#include "platform/session/BackendConnection.h"

#include <QCoro/QCoroTask>
#include <QString>

namespace tessary {

// Where the install token and the built-in backend's credential key are kept now, for the
// settings: "In the keyring", "In owner-only files in ~/.local/share/tessary", or each on its own
// when they differ. A token not made yet counts where it would go; a backend elsewhere keeps its
// own key, so only the token is named.
QCoro::Task<QString> secretsLocation(BackendConnection& connection);

} // namespace tessary
