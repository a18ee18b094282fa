#pragma once

#include <QCoro/QCoroTask>
#include <QDBusConnection>

#include <chrono>

namespace tessary {

// Whether the Secret Service on `bus` has a default collection that is open now: the alias
// "default" names a collection and its Locked property is false. Storing into a default collection
// that does not exist makes GNOME Keyring ask for a new keyring's password, and reading a locked one
// asks to unlock it; only an open one can be used without putting a prompt in front of the user.
// Neither question prompts. The bus may start the service to answer: at login the keyring daemon
// may not be on the bus yet, and one started for the question finds the session's daemon and its
// unlocked keyring. An answer that does not come within `timeout` counts as no.
QCoro::Task<bool> defaultKeyringUnlocked(QDBusConnection bus, std::chrono::milliseconds timeout);

} // namespace tessary
