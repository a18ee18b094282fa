#include "backend/FallbackSecretStore.h"

namespace tessary {

FallbackSecretStore::FallbackSecretStore(SecretStore& primary, SecretStore& fallback)
    : m_primary(primary)
    , m_fallback(fallback)
{
}

QCoro::Task<std::optional<QString>> FallbackSecretStore::keychainGet(QString key)
{
    if (m_primary.isAvailable()) {
        auto value = co_await m_primary.keychainGet(key);
        if (value)
            co_return value;
    }
    co_return co_await m_fallback.keychainGet(key);
}

QCoro::Task<bool> FallbackSecretStore::keychainSet(QString key, QString value)
{
    if (m_primary.isAvailable() && co_await m_primary.keychainSet(key, value)) {
        co_await m_fallback.keychainDelete(key);
        co_return true;
    }
    co_return co_await m_fallback.keychainSet(key, value);
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
    if (m_primary.isAvailable() && (co_await m_primary.keychainGet(key)))
        co_return &m_primary;
    if (co_await m_fallback.keychainGet(key))
        co_return &m_fallback;
    co_return nullptr;
}

} // namespace tessary
