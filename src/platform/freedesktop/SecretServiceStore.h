#pragma once

#include "backend/SecretStore.h"

#include <chrono>

namespace tessary {

// The desktop's Secret Service (GNOME Keyring, KWallet) through QtKeychain: service = the
// application id, one item per key. A stuck service can hold a job for most of a minute, so every
// job runs under our own time-out. A job that runs out leaves the store silent until it answers
// again: a keyring is often slow at login, and what it holds must not be replaced meanwhile. No
// service on the bus, or any failure other than an answer about the item, marks the store
// unavailable, and later calls return at once. So does a keyring with no default collection.
// Whether it is open is asked before every job, and a locked one is left alone until it is
// unlocked: QtKeychain would store into a default collection it has to create, or unlock what it
// reads, and either puts a password prompt in front of the user. QtKeychain's plain-text
// fallback is never used: the caller keeps its own owner-only file.
class SecretServiceStore : public SecretStore {
public:
    explicit SecretServiceStore(QString service,
                                std::chrono::milliseconds jobTimeout = std::chrono::seconds(5));

    QCoro::Task<std::optional<QString>> keychainGet(QString key) override;
    QCoro::Task<bool> keychainSet(QString key, QString value) override;
    QCoro::Task<> keychainDelete(QString key) override;
    QCoro::Task<bool> isWithheld(QString key) override;
    bool isAvailable() const override { return m_available; }
    bool isSilent() const override { return m_silent; }
    QString location() const override;

private:
    // False, for good, once the service failed or has no default keyring; false for now while it
    // is locked or silent.
    QCoro::Task<bool> usable();
    // Takes in how a question ended: no answer in time (`silent`) or an answer that makes the
    // store unavailable.
    void heard(bool silent, bool unavailable = false);

    QString m_service;
    std::chrono::milliseconds m_jobTimeout;
    bool m_available = true;
    bool m_saidLocked = false;
    bool m_silent = false;
};

} // namespace tessary
