#pragma once

#include "backend/SecretStore.h"

namespace tessary {

// The desktop's secret store first, an owner-only file when that store cannot keep the value.
// A locked keyring reads as "not found" and refuses writes, so a write the primary store refused
// goes to the file. A value the primary store did take removes the file's copy. A read takes the
// primary store's value first, never replacing it with the file's: a token kept in the file while
// the keyring was locked must not take the place of the one the keyring held, under which the
// inboxes were connected. A file copy the primary store lacks moves into it once it takes writes.
// A primary store that has not answered yet is waited for rather than replaced: the file's value
// is read meanwhile, and the primary store is silent for the caller too.
class FallbackSecretStore : public SecretStore {
public:
    FallbackSecretStore(SecretStore& primary, SecretStore& fallback);

    QCoro::Task<std::optional<QString>> keychainGet(QString key) override;
    QCoro::Task<bool> keychainSet(QString key, QString value) override;
    QCoro::Task<> keychainDelete(QString key) override;
    QCoro::Task<bool> isWithheld(QString key) override;
    bool isSilent() const override;
    QString location() const override;

    // Which of the two a read takes the key from now; nothing when neither holds it.
    QCoro::Task<const SecretStore*> holder(QString key);

private:
    SecretStore& m_primary;
    SecretStore& m_fallback;
};

} // namespace tessary
