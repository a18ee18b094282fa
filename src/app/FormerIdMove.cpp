#include "app/FormerIdMove.h"

#include "backend/Backend.h"
#include "backend/FileSecretStore.h"
#include "common/AppIdentity.h"
#include "common/SettingsStore.h"
#include "platform/freedesktop/XdgAutostart.h"
#include "state/QSettingsStore.h"

#include <QFile>
#include <QFileInfo>

namespace tessary {

namespace {

const QString tokenToMove = QStringLiteral("formerKeyringToken");

QString settingsFile(const QString& folder, const QString& id)
{
    return folder + QLatin1Char('/') + id + QStringLiteral(".conf");
}

} // namespace

FormerIdMove FormerIdMove::forThisBuild(QStringList command)
{
    return {isDevBuild() ? QStringLiteral("com.tessary.mac.dev") : QStringLiteral("com.tessary.mac"),
            applicationId(),
            QFileInfo(QSettingsStore::defaultPath()).path(),
            XdgAutostart::defaultDirectory(),
            FileSecretStore::defaultFolder(),
            std::move(command)};
}

void FormerIdMove::moveFiles() const
{
    const QString formerSettings = settingsFile(settingsFolder, formerId);
    const QString settings = settingsFile(settingsFolder, id);
    if (QFile::exists(formerSettings) && !QFile::exists(settings) && QFile::rename(formerSettings, settings))
        QSettingsStore(settings).setValue(tokenToMove, true);

    const XdgAutostart formerEntry(formerId, command, autostartFolder);
    XdgAutostart entry(id, command, autostartFolder);
    if (QFile::exists(formerEntry.filePath()) && !QFile::exists(entry.filePath())) {
        // Written anew rather than renamed: the entry names the id and this build's program.
        if (!formerEntry.isEnabled() || entry.setEnabledNow(true))
            QFile::remove(formerEntry.filePath());
    }

    const FileSecretStore formerTokens(tokenFolder, formerId);
    const FileSecretStore tokens(tokenFolder, id);
    const std::optional<QString> token = formerTokens.read(Backend::installTokenKey);
    if (token && !tokens.read(Backend::installTokenKey) && tokens.write(Backend::installTokenKey, *token))
        formerTokens.remove(Backend::installTokenKey);
}

QCoro::Task<> moveKeyringToken(SettingsStore& settings, SecretStore& formerKeyring, SecretStore& secrets)
{
    if (!settings.contains(tokenToMove))
        co_return;
    const std::optional<QString> token = co_await formerKeyring.keychainGet(Backend::installTokenKey);
    if (!formerKeyring.isAvailable())
        co_return;
    if (!token) { // a locked keyring reads as holding nothing
        const bool withheld = co_await formerKeyring.isWithheld(Backend::installTokenKey);
        if (withheld)
            co_return;
    }
    if (token) {
        const std::optional<QString> current = co_await secrets.keychainGet(Backend::installTokenKey);
        bool kept = current.has_value();
        if (!kept) // each await stands alone: GCC 12 mis-compiles one inside a short-circuit
            kept = co_await secrets.keychainSet(Backend::installTokenKey, *token);
        if (!kept)
            co_return;
        co_await formerKeyring.keychainDelete(Backend::installTokenKey);
    }
    settings.remove(tokenToMove);
}

} // namespace tessary
