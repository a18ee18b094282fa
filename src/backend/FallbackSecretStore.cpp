#include "backend/FallbackSecretStore.h"

namespace tessary {

FallbackSecretStore::FallbackSecretStore(SecretStore& primary, SecretStore& fallback)
    : m_primary(primary)
    , m_fallback(fallback)
{
}

QCoro::Task<std::optional<QString>> FallbackSecretStore::keychainGet(QString key)
{
    // The keyring's own value comes first. A keyring locked at login does not answer, so a token
    // registered then went to the file; had it replaced the keyring's once unlocked, the inboxes
    // connected under the older one would have been lost to this desktop.
    if (m_primary.isAvailable()) {
        auto value = co_await m_primary.keychainGet(key);
        if (value)
            co_return value;
    }
    auto kept = co_await m_fallback.keychainGet(key);
    if (kept && m_primary.isAvailable() && !m_primary.isSilent()) {
        const bool moved = co_await m_primary.keychainSet(key, *kept);
        if (moved)
            co_await m_fallback.keychainDelete(key);
    }
    co_return kept;
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

// Removes the value a read returns; a copy the file kept behind the keyring's is read next.
QCoro::Task<> FallbackSecretStore::keychainDelete(QString key)
{
    if (m_primary.isAvailable()) {
        const auto held = co_await m_primary.keychainGet(key);
        if (held) {
            co_await m_primary.keychainDelete(key);
            co_return;
        }
    }
    co_await m_fallback.keychainDelete(key);
}

QCoro::Task<bool> FallbackSecretStore::isWithheld(QString key)
{
    if (!m_primary.isAvailable())
        co_return false;
    const bool withheld = co_await m_primary.isWithheld(key);
    co_return withheld;
}

bool FallbackSecretStore::isSilent() const
{
    return m_primary.isAvailable() && m_primary.isSilent();
}

QString FallbackSecretStore::location() const
{
    return m_primary.location() + QStringLiteral(", else ") + m_fallback.location();
}

QCoro::Task<const SecretStore*> FallbackSecretStore::holder(QString key)
{
    if (m_primary.isAvailable()) {
        const auto inPrimary = co_await m_primary.keychainGet(key);
        if (inPrimary)
            co_return &m_primary;
    }
    const auto inFallback = co_await m_fallback.keychainGet(key);
    co_return inFallback ? &m_fallback : nullptr;
}

} // namespace tessary
