#pragma once

#include "backend/Backend.h"
#include "backend/FallbackSecretStore.h"
#include "backend/FileSecretStore.h"
#include "common/Clock.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/DBusHeartbeatBus.h"
#include "platform/linux/DesktopLinkOpener.h"
#include "platform/linux/QtClipboard.h"
#include "platform/linux/SecretServiceStore.h"
#include "platform/linux/X11HotKey.h"
#include "platform/linux/XTestKeyboard.h"
#include "platform/linux/XdgAutostart.h"
#include "server/BackendServer.h"
#include "state/QSettingsStore.h"

#include <memory>

namespace tessary {

// The stored settings, with "backendURL" pointing at the built-in backend while one runs.
class BackendSettings : public SettingsStore {
public:
    BackendSettings(SettingsStore& stored, std::optional<QString> embeddedUrl);
    bool contains(const QString& key) const override;
    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;

private:
    SettingsStore& m_stored;
    std::optional<QString> m_embeddedUrl;
};

// Every Linux service the application runs on, made once in main in dependency order. Without a
// "backendURL" setting the backend runs inside this process on 127.0.0.1.
struct Platform {
    Platform();

    QSettingsStore storedSettings;
    std::unique_ptr<server::BackendServer> embedded;
    BackendSettings settings;
    SecretServiceStore keyring;
    FileSecretStore tokenFile;
    FallbackSecretStore secrets;
    Backend backend;
    SystemClock clock;
    AtspiAccessibility accessibility;
    XTestKeyboard keyboard;
    X11HotKey hotKey;
    QtClipboard clipboard;
    DesktopLinkOpener links;
    DBusHeartbeatBus heartbeat;
    XdgAutostart loginItem;
};

} // namespace tessary
