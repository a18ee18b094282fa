#include "backend/FallbackSecretStore.h"

namespace tessary {

FallbackSecretStore::FallbackSecretStore(SecretStore& primary, SecretStore& fallback)
    : m_primary(primary)
    , m_fallback(fallback)
{
}

QCoro::Task<std::optional<QString>> FallbackSecretStore::keychainGet(QString key)
{
    // A copy in the file is never older than the keyring's: a value the keyring took removes it.
    // So after a locked keyring is unlocked, the token kept in the file meanwhile wins over the
    // older one the keyring still holds, and moves back into the keyring when it now takes it.
    auto kept = co_await m_fallback.keychainGet(key);
    if (kept) {
        if (m_primary.isAvailable()) {
            const bool moved = co_await m_primary.keychainSet(key, *kept);
            if (moved)
                co_await m_fallback.keychainDelete(key);
        }
        co_return kept;
    }
    if (!m_primary.isAvailable())
        co_return std::nullopt;
    auto value = co_await m_primary.keychainGet(key);
    co_return value;
}

QCoro::Task<bool> FallbackSecretStore::keychainSet(QString key, QString value)
{
    // Each await stands alone: GCC 12 mis-compiles an await inside a short-circuit condition.
    if (m_primary.isAvailable()) {
        const bool kept = co_await m_primary.keychainSet(key, value);
        if (kept) {
            co_await m_fallback.keychainDelete(key);
            co_return true;
        }
    }
    const bool kept = co_await m_fallback.keychainSet(key, value);
    co_return kept;
}

QCoro::Task<> FallbackSecretStore::keychainDelete(QString key)
{
    if (m_primary.isAvailable())
        co_await m_primary.keychainDelete(key);
    co_await m_fallback.keychainDelete(key);
}

QString FallbackSecretStore::location() const
{
    return m_primary.location() + QStringLiteral(", else ") + m_fallback.location();
}

QCoro::Task<const SecretStore*> FallbackSecretStore::holder(QString key)
{
    const auto inFallback = co_await m_fallback.keychainGet(key);
    if (inFallback)
        co_return &m_fallback;
    if (m_primary.isAvailable()) {
        const auto inPrimary = co_await m_primary.keychainGet(key);
        if (inPrimary)
            co_return &m_primary;
    }
    co_return nullptr;
}

} // namespace tessary
