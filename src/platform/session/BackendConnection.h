#pragma once

#include "backend/Backend.h"
#include "backend/FallbackSecretStore.h"
#include "backend/FileSecretStore.h"
#include "common/OverriddenSettings.h"
#include "platform/freedesktop/SecretServiceStore.h"
#include "server/BackendServer.h"
#include "state/QSettingsStore.h"

#include <memory>
#include <optional>

namespace tessary {

// The client's way to its backend, built the same way by tessary and tessary-inspect: the stored
// settings; the backend inside this process on 127.0.0.1, unless a "backendURL" is stored or
// `backendURL` is given for this run (which then wins over the stored one); the install token in
// the Secret Service, else an owner-only file; and the client over all of them. The embedded
// backend keeps its data in $XDG_DATA_HOME/tessary/backend and its credential key in the
// Secret Service, else beside its data.
struct BackendConnection {
    explicit BackendConnection(std::optional<QString> backendURL = std::nullopt);

    // The embedded backend's folder.
    static QString embeddedDataFolder();

    QSettingsStore storedSettings;
    std::unique_ptr<server::BackendServer> embedded;
    OverriddenSettings settings;
    SecretServiceStore keyring;
    FileSecretStore tokenFile;
    FallbackSecretStore secrets;
    Backend backend;
};

} // namespace tessary
