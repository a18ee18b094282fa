#pragma once

#include "backend/BackendApi.h"
#include "common/Cancellation.h"
#include "common/Clock.h"
#include "common/Timings.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUrl>

#include <functional>

namespace tessary {

class AppState;
class SettingsStore;

// What the inbox operations read and call; every member outlives them.
struct InboxConnectionServices {
    BackendApi& backend;
    SettingsStore& settings;
    Clock& clock;
    Timings timings = {};
    std::function<void(const QUrl&)> openInBrowser; // a provider's sign-in page
};

// Lists, connects, adds and removes inboxes through the backend and writes what it learns into
// the application state: the inbox list, the provider being connected, the last error. Each
// operation runs on the main thread and stops quietly when the state or this object is gone.
class InboxConnection : public QObject {
    Q_OBJECT
public:
    InboxConnection(AppState& state, InboxConnectionServices services, QObject* parent = nullptr);

    // Fetches the inbox list and remembers the first active inbox's address; nothing changes on
    // failure.
    QCoro::Task<BackendResult<Done>> refreshAccounts(CancelToken cancel = {});
    // Opens the provider's sign-in page in the browser and waits for the inbox to turn active.
    // Failures and a time-out go to the state's `error`.
    QCoro::Task<> connectProvider(QString provider);
    // Ends the wait for the browser's sign-in at once and without a word (the user changed their
    // mind, or closed the page), and takes away the inbox it made if no sign-in finished it.
    void cancelConnect();
    // True when the inbox was added and the list refreshed; otherwise `error` says why. Cancelled,
    // it says nothing and removes the inbox again if the backend added it all the same.
    QCoro::Task<bool> addIMAP(QString email, QString password, QString host, CancelToken cancel = {});
    QCoro::Task<> removeAccount(QString accountId, CancelToken cancel = {});

private:
    QCoro::Task<> dropAbandoned(QString accountId, QList<Account> before);

    QPointer<AppState> m_state;
    InboxConnectionServices m_services;
    quint64 m_refreshesStarted = 0;
    quint64 m_refreshApplied = 0; // the newest refresh whose list the state shows
    QSet<QString> m_removing;     // inboxes being removed, until the list after it comes
    CancelToken m_connectCancel;  // the running sign-in's
};

} // namespace tessary
