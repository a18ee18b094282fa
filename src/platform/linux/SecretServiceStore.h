#pragma once

#include "backend/SecretStore.h"

#include <chrono>

namespace tessary {

// The desktop's Secret Service (GNOME Keyring, KWallet) through QtKeychain: service = the
// application id, one item per key. A stuck service can hold a job for most of a minute, so every
// job runs under our own time-out; a job that runs out, or a desktop with no service at all, marks
// the store unavailable and later calls return at once. QtKeychain's plain-text fallback is never
// used: the caller keeps its own owner-only file instead.
class SecretServiceStore : public SecretStore {
public:
    explicit SecretServiceStore(QString service,
                                std::chrono::milliseconds jobTimeout = std::chrono::seconds(5));

    QCoro::Task<std::optional<QString>> keychainGet(QString key) override;
    QCoro::Task<bool> keychainSet(QString key, QString value) override;
    QCoro::Task<> keychainDelete(QString key) override;
    bool isAvailable() const override { return m_available; }
    QString location() const override;

private:
    QString m_service;
    std::chrono::milliseconds m_jobTimeout;
    bool m_available = true;
};

} // namespace tessary
