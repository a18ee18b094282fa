#pragma once

#include "common/AppIdentity.h"

#include <QCoro/QCoroTask>

#include <QString>
#include <QUrl>

#include <functional>

namespace tessary {

class AppState;
class Clipboard;
class Clock;
class InboxConnection;
class SettingsStore;
class SmsSource;

// What the application's windows read and call: the shared state and its inbox operations, and
// the few desktop services a view reaches for. Built once in main (tests build it over fakes);
// every member outlives the windows.
struct AppContext {
    AppState& state;
    InboxConnection& inbox;
    SettingsStore& settings;
    Clock& clock;
    Clipboard& clipboard;
    // Opens a web page in the user's browser.
    std::function<void(const QUrl&)> openUrl;
    // Switches accessibility on for this session without waiting; `note` then gets what the user
    // must still do, or an empty text when nothing is left to do, and whether it tells why access
    // is not there (such a note holds only until access is on), unless `context` is gone.
    std::function<void(QObject* context, std::function<void(QString note, bool failed)> note)>
        grantAccessibility;
    bool developerBuild = isDevBuild();
    // Where the install token and the credential key are kept, in words; none where nothing says.
    std::function<QCoro::Task<QString>()> secretsLocation = {};
    // The paired phones whose text messages carry codes; none where no phone service is read.
    SmsSource* phones = nullptr;
};

} // namespace tessary
