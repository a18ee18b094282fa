#include "platform/session/BackendConnection.h"

#include "common/AppIdentity.h"
#include "common/Logging.h"
#include "server/SecretServiceKeyVault.h"

namespace tessary {

namespace {

const QString backendKey = QStringLiteral("backendURL");

std::unique_ptr<server::BackendServer> embeddedUnless(bool elsewhere)
{
    if (elsewhere)
        return nullptr;
    auto started = server::startEmbeddedBackend(BackendConnection::embeddedDataFolder(),
                                                std::make_shared<server::SecretServiceKeyVault>());
    if (!started) {
        // The client then reports every request against the built-in address as failing.
        qCWarning(logBackend).noquote() << "the built-in backend could not start:" << started.error();
        return nullptr;
    }
    return std::move(*started);
}

// A token stored before tokens were kept per backend is the stored setting's backend's: neither a
// backend given for this run nor the built-in address standing in for one that did not start.
BackendOptions tokenOptions(const server::BackendServer* embedded, bool givenForThisRun, bool stored)
{
    BackendOptions options;
    if (embedded)
        options.inProcess = QUrl(embedded->url());
    options.claimsUnownedToken = !givenForThisRun && (embedded || stored);
    return options;
}

} // namespace

QString BackendConnection::embeddedDataFolder()
{
    return FileSecretStore::defaultFolder() + QStringLiteral("/backend");
}

BackendConnection::BackendConnection(std::optional<QString> backendURL)
    : embedded(embeddedUnless(backendURL || storedSettings.contains(backendKey)))
    , settings(storedSettings, embedded ? std::optional<QString>(embedded->url()) : backendURL)
    , keyring(applicationId())
    , tokenFile(FileSecretStore::defaultFolder(), applicationId())
    , secrets(keyring, tokenFile)
    , backend(settings, secrets,
              tokenOptions(embedded.get(), backendURL.has_value(), storedSettings.contains(backendKey)))
{
}

} // namespace tessary
