#pragma once

#include "server/KeyVault.h"

#include <chrono>

namespace tessary::server {

// The credential key in the desktop's Secret Service (GNOME Keyring, KWallet) through libsecret:
// one item per data folder, in the default collection. Each call runs on a thread of its own and
// is given up after `limit` (a stuck service can take most of a minute to fail), so a silent
// keyring costs the start at most that long. It never unlocks a locked keyring, which would put
// a password prompt in front of the user at start-up; a locked one reads as locked, one that
// does not answer in time as silent.
class SecretServiceKeyVault : public KeyVault {
public:
    explicit SecretServiceKeyVault(std::chrono::milliseconds limit = std::chrono::seconds(3));

    Lookup load(const QString& dataDir) override;
    bool store(const QString& dataDir, const QByteArray& key) override;
    QString location() const override { return QStringLiteral("the Secret Service"); }

private:
    std::chrono::milliseconds m_limit;
};

} // namespace tessary::server
