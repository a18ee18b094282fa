#include "app/Platform.h"

#include "common/AppIdentity.h"

#include <QCoreApplication>

#include <cstdio>

namespace tessary {

namespace {

const QString backendKey = QStringLiteral("backendURL");

std::unique_ptr<server::BackendServer> embeddedUnless(bool elsewhere)
{
    if (elsewhere)
        return nullptr;
    auto started =
        server::startEmbeddedBackend(FileSecretStore::defaultFolder() + QStringLiteral("/backend"));
    if (!started) {
        std::fprintf(stderr, "tessary: the built-in backend could not start: %s\n",
                     qPrintable(started.error()));
        return nullptr;
    }
    return std::move(*started);
}

} // namespace

BackendSettings::BackendSettings(SettingsStore& stored, std::optional<QString> embeddedUrl)
    : m_stored(stored)
    , m_embeddedUrl(std::move(embeddedUrl))
{
}

bool BackendSettings::contains(const QString& key) const
{
    return (m_embeddedUrl && key == backendKey) || m_stored.contains(key);
}

QVariant BackendSettings::value(const QString& key) const
{
    if (m_embeddedUrl && key == backendKey)
        return *m_embeddedUrl;
    return m_stored.value(key);
}

void BackendSettings::setValue(const QString& key, const QVariant& value)
{
    m_stored.setValue(key, value);
}

void BackendSettings::remove(const QString& key)
{
    m_stored.remove(key);
}

Platform::Platform()
    : embedded(embeddedUnless(storedSettings.contains(backendKey)))
    , settings(storedSettings, embedded ? std::optional<QString>(embedded->url()) : std::nullopt)
    , keyring(applicationId())
    , tokenFile(FileSecretStore::defaultFolder(), applicationId())
    , secrets(keyring, tokenFile)
    , backend(settings, secrets)
    , keyboard(clock)
    , loginItem(applicationId(), {QCoreApplication::applicationFilePath()})
{
}

} // namespace tessary
