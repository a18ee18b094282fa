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
