#include "state/InboxConnection.h"

#include "state/AppState.h"

#include "common/SettingsStore.h"
#include "state/ShortcutSetting.h"

#include <QPointer>

namespace tessary {

namespace {

const QString signInTimedOut = QStringLiteral("Didn't hear back from the sign-in page. Try again.");
const QString cancelledMessage = QStringLiteral("Cancelled.");

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

QCoro::Task<> InboxConnection::connectProvider(QString provider, CancelToken cancel)
{
    QPointer<InboxConnection> self(this);
    const auto gone = [&] { return !self || !m_state; };
    if (gone())
        co_return;
    m_state->setError(std::nullopt);
    const auto fail = [&](const QString& message) {
        m_state->setError(message);
        m_state->setConnecting(std::nullopt);
    };

    // Set before the link is asked for: the buttons that start a sign-in are off while the backend
    // answers, so a double click or an impatient second one does not open a second pending inbox.
    m_state->setConnecting(provider);
    const BackendResult<ConnectLink> link = co_await m_services.backend.connect(provider, cancel);
    if (gone())
        co_return;
    if (isCancelled(cancel))
        co_return fail(cancelledMessage);
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
        if (isCancelled(cancel))
            co_return fail(cancelledMessage);
        const BackendResult<Done> refreshed = co_await refreshAccounts(cancel);
        if (gone())
            co_return;
        if (isCancelled(cancel))
            co_return fail(cancelledMessage);
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
