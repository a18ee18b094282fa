#pragma once

#include <QCoro/QCoroTask>
#include <QDBusConnection>

#include <chrono>

namespace tessary {

enum class DefaultKeyring { open, locked, unusable, silent };

// The state of the Secret Service's default collection on `bus`: open when the alias "default"
// names a collection whose Locked property is false, locked when it is true, silent when a
// question went unanswered within `timeout`, else unusable.
// Storing into a default collection that does not exist makes GNOME Keyring ask for a new
// keyring's password, and reading a locked one asks to unlock it; only an open one can be used
// without putting a prompt in front of the user.
// Neither question prompts. The bus may start the service to answer: at login the keyring daemon
// may not be on the bus yet, and one started for the question finds the session's daemon and its
// unlocked keyring; at login that can take longer than `timeout`, which is why silence is not
// taken for "no keyring".
QCoro::Task<DefaultKeyring> defaultKeyring(QDBusConnection bus, std::chrono::milliseconds timeout);

// Whether a locked collection holds QtKeychain's item for `key` under `service`. A search sees
// locked items without unlocking them, so it never prompts. An unanswered search counts as
// holding it: nothing may take the place of an item that may be there.
QCoro::Task<bool> lockedItemHeld(QDBusConnection bus, QString service, QString key,
                                 std::chrono::milliseconds timeout);

} // namespace tessary
