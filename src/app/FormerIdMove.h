#pragma once

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>

namespace tessary {

class SecretStore;
class SettingsStore;

// Until 0.1 the application id was "com.tessary.mac" ("com.tessary.mac.dev" in developer builds),
// and it named the settings file, the autostart entry, the token file and the keyring item. The
// first start that finds them moves each to the current id, once: nothing is lost and nothing is
// left behind under the old name. The backend's data and its keyring item for the credential key
// are named after its data folder, not the id, and stay where they are.
struct FormerIdMove {
    QString formerId;
    QString id;
    QString settingsFolder;  // $XDG_CONFIG_HOME/tessary
    QString autostartFolder; // $XDG_CONFIG_HOME/autostart
    QString tokenFolder;     // $XDG_DATA_HOME/tessary
    QStringList command;     // what a moved autostart entry starts

    // The move of this build: from the former id that matches its kind to applicationId().
    static FormerIdMove forThisBuild(QStringList command);

    // Moves the settings file, the autostart entry (on again under the new id when it was on) and
    // the token file, each only where nothing is there under the new id yet. When the settings
    // moved, they are marked so that the keyring's token follows (moveKeyringToken).
    void moveFiles() const;
};

// Moves the install token from `formerKeyring` into `secrets` while the settings say it is still
// to move. A token already in `secrets` (from the token file) is the newer one and stays. The
// former item is removed once it is copied; the mark is cleared once the former keyring answered,
// so a keyring that is locked or slow at this start is asked again at the next one.
QCoro::Task<> moveKeyringToken(SettingsStore& settings, SecretStore& formerKeyring, SecretStore& secrets);

} // namespace tessary
