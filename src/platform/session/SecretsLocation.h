#pragma once

#include "platform/session/BackendConnection.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <optional>

namespace tessary {

// Where the install token and the built-in backend's credential key are kept now, for the
// settings: "In the keyring", "In owner-only files in ~/.local/share/tessary", or each on its own
// when they differ; "Waiting for the keyring" while a keyring slow to answer holds the token back.
// A token not made yet counts where it would go; a backend elsewhere keeps its own key, so only
// the token is named.
QCoro::Task<QString> secretsLocation(BackendConnection& connection);

// The words for it. The token is in the keyring, in the file, or not read yet because the keyring
// has not answered; `keyInFile` is empty when the backend is elsewhere.
enum class TokenPlace { keyring, file, keyringSilent };
QString secretsPlace(TokenPlace token, std::optional<bool> keyInFile, const QString& tokenFolder,
                     const QString& keyFolder);

} // namespace tessary
