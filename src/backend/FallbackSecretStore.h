#pragma once

#include "backend/SecretStore.h"

namespace tessary {

// The desktop's secret store first, an owner-only file when that store cannot keep the value.
// A locked keyring reads as "not found" and refuses writes, so a read that finds nothing in the
// primary store looks in the file, and a write the primary store refused goes to the file. A
// value the primary store did take removes the file's copy, so no stale secret stays on disk.
class FallbackSecretStore : public SecretStore {
public:
    FallbackSecretStore(SecretStore& primary, SecretStore& fallback);

    QCoro::Task<std::optional<QString>> keychainGet(QString key) override;
    QCoro::Task<bool> keychainSet(QString key, QString value) override;
    QCoro::Task<> keychainDelete(QString key) override;
    QString location() const override;

    // Which of the two holds the key now; nothing when neither does.
    QCoro::Task<const SecretStore*> holder(QString key);

private:
    SecretStore& m_primary;
    SecretStore& m_fallback;
};

} // namespace tessary
