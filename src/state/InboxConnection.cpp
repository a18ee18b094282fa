#include "state/InboxConnection.h"

#include "state/AppState.h"

#include "common/SettingsStore.h"
#include "state/ShortcutSetting.h"

#include <QPointer>

namespace tessary {

namespace {

const QString signInTimedOut = QStringLiteral("Didn't hear back from the sign-in page. Try again.");

} // namespace

InboxConnection::InboxConnection(AppState& state, InboxConnectionServices services, QObject* parent)
    : QObject(parent)
    , m_state(&state)
    , m_services(std::move(services))
{
}

QCoro::Task<BackendResult<Done>> InboxConnection::refreshAccounts(CancelToken cancel)
{
    QPointer<InboxConnection> self(this);
    const quint64 refresh = ++m_refreshesStarted;
    BackendResult<QList<Account>> result = co_await m_services.backend.accounts(cancel);
    if (!result)
        co_return Unexpected{result.error()};
    // Refreshes overlap (launch, the settings window, a sign-in's checks, a removal): a list
    // that arrives after a later refresh's list is older than what is shown and is dropped.
    if (!self || !m_state || refresh < m_refreshApplied)
        co_return Done{};
    m_refreshApplied = refresh;
    QList<Account> accounts = std::move(result).value();
    // Remembered so the app counts as connected before the first refresh after a restart; written
    // before the list is shown, as views that read the list as it changes count inboxes by both.
    const auto firstActive =
        std::find_if(accounts.cbegin(), accounts.cend(), [](const Account& a) { return a.isActive(); });
    if (firstActive != accounts.cend() && firstActive->email && !firstActive->email->isEmpty())
        m_services.settings.setValue(settingKey::email, *firstActive->email);
    else
        m_services.settings.remove(settingKey::email);
    m_state->setAccounts(std::move(accounts));
    co_return Done{};
}

QCoro::Task<> InboxConnection::connectProvider(QString provider)
{
    QPointer<InboxConnection> self(this);
    const auto gone = [&] { return !self || !m_state; };
    if (gone())
        co_return;
    // One wait at a time: the state names one provider being connected. A cancelled wait leaves
    // `connecting` alone from then on, so it cannot end a later one.
    if (m_connectCancel)
        m_connectCancel->cancel();
    const CancelToken cancel = m_connectCancel = makeCancelToken();
    m_state->setError(std::nullopt);
    const auto fail = [&](const QString& message) {
        m_state->setError(message);
        m_state->setConnecting(std::nullopt);
    };

    // Set before the link is asked for: the buttons that start a sign-in are off while the backend
    // answers, so a double click or an impatient second one does not open a second pending inbox.
    m_state->setConnecting(provider);
    const QList<Account> before = m_state->accounts();
    // Not aborted by a cancel: the backend may have made the pending inbox by then, and only its
    // answer says which one to take away again.
    const BackendResult<ConnectLink> link = co_await m_services.backend.connect(provider);
    if (gone())
        co_return;
    if (isCancelled(cancel)) {
        if (link)
            co_await dropAbandoned(link->accountId, before);
        co_return;
    }
    if (!link)
        co_return fail(link.error().description());

    if (m_services.openInBrowser)
        m_services.openInBrowser(link->url);

    // A check that fails (the backend briefly away) is said meanwhile but ends nothing: the sign-in
    // in the browser goes on, and only a later check can see it finish.
    std::optional<QString> checkFailure;
    for (int check = 0; check < m_services.timings.signInChecks; ++check) {
        co_await m_services.clock.sleep(m_services.timings.signInCheck, cancel);
        if (gone())
            co_return;
        // A cancel meanwhile ends the check's request at once; the check below then sees it.
        const BackendResult<Done> refreshed = co_await refreshAccounts(cancel);
        if (gone())
            co_return;
        if (isCancelled(cancel))
            co_return co_await dropAbandoned(link->accountId, before);
        if (!refreshed) {
            checkFailure = refreshed.error().description();
            m_state->setError(checkFailure);
            continue;
        }
        if (std::exchange(checkFailure, std::nullopt))
            m_state->setError(std::nullopt);
        const QList<Account>& accounts = m_state->accounts();
        const auto waiting = std::find_if(accounts.cbegin(), accounts.cend(),
                                          [&](const Account& a) { return a.id == link->accountId; });
        // Gone from the list: the user removed it, and no sign-in can finish it any more.
        if (waiting == accounts.cend() || waiting->isActive()) {
            m_state->setConnecting(std::nullopt);
            co_return;
        }
    }
    fail(checkFailure.value_or(signInTimedOut));
}

void InboxConnection::cancelConnect()
{
    if (!m_state || !m_state->connecting())
        return;
    if (m_connectCancel)
        m_connectCancel->cancel();
    m_state->setConnecting(std::nullopt);
    m_state->setError(std::nullopt); // a failed check's, said while the wait went on
}

// Left behind, the inbox a cancelled sign-in made would stay in the list as one waiting for a
// sign-in that never comes. Only that inbox goes: not one the list had before, nor one whose
// sign-in finished in the browser since the last check. The backend's list says which, and without
// it nothing is taken away.
QCoro::Task<> InboxConnection::dropAbandoned(QString accountId, QList<Account> before)
{
    QPointer<InboxConnection> self(this);
    const auto isIt = [&](const Account& account) { return account.id == accountId; };
    if (std::any_of(before.cbegin(), before.cend(), isIt))
        co_return;
    const BackendResult<Done> refreshed = co_await refreshAccounts();
    if (!self || !m_state || !refreshed)
        co_return;
    const QList<Account>& accounts = m_state->accounts();
    const auto abandoned = std::find_if(accounts.cbegin(), accounts.cend(), isIt);
    if (abandoned != accounts.cend() && !abandoned->isActive())
        co_await removeAccount(accountId);
}

QCoro::Task<bool> InboxConnection::addIMAP(QString email, QString password, QString host, CancelToken cancel)
{
    QPointer<InboxConnection> self(this);
    const auto gone = [&] { return !self || !m_state; };
    if (gone())
        co_return false;
    m_state->setError(std::nullopt);
    // Not aborted by a cancel: the server may have added the inbox by then, and only its answer
    // says which one to take away again. An inbox it had before (a new app password for it) stays.
    const QList<Account> before = m_state->accounts();
    const BackendResult<Account> added =
        co_await m_services.backend.addIMAP(std::move(email), std::move(password), std::move(host));
    if (gone())
        co_return false;
    if (isCancelled(cancel)) {
        const auto known = [&](const Account& account) { return account.id == added->id; };
        if (added && std::none_of(before.cbegin(), before.cend(), known))
            co_await removeAccount(added->id);
        co_return false;
    }
    if (!added) {
        m_state->setError(added.error().description());
        co_return false;
    }
    const BackendResult<Done> refreshed = co_await refreshAccounts(cancel);
    if (gone())
        co_return false;
    if (!refreshed) {
        m_state->setError(refreshed.error().description());
        co_return false;
    }
    co_return true;
}

QCoro::Task<> InboxConnection::removeAccount(QString accountId, CancelToken cancel)
{
    QPointer<InboxConnection> self(this);
    const auto gone = [&] { return !self || !m_state; };
    // A second confirm before the list drops the inbox would be refused as an unknown inbox,
    // under a list the first one just emptied of it.
    if (gone() || m_removing.contains(accountId))
        co_return;
    m_state->setError(std::nullopt); // an earlier failure must not outlive a removal that works
    m_removing.insert(accountId);
    const BackendResult<Done> removed = co_await m_services.backend.removeAccount(accountId, cancel);
    BackendResult<Done> refreshed = Done{};
    if (removed && !gone())
        refreshed = co_await refreshAccounts(cancel);
    if (!self)
        co_return;
    m_removing.remove(accountId);
    if (!m_state)
        co_return;
    if (!removed)
        m_state->setError(removed.error().description());
    else if (!refreshed)
        m_state->setError(refreshed.error().description());
}

} // namespace tessary
