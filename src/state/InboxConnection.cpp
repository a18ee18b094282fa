// The inbox operations of the application state: listing, connecting through the browser, adding
// over IMAP and removing inboxes. Each runs on the main thread and re-checks after every await
// that the state still exists.

#include "state/AppState.h"

#include "state/SettingsStore.h"
#include "state/ShortcutSetting.h"

#include <QPointer>

namespace tessary {

namespace {

const QString signInTimedOut = QStringLiteral("Didn't hear back from the sign-in page. Try again.");
const QString cancelledMessage = QStringLiteral("Cancelled.");

bool isActiveAccount(const QList<Account>& accounts, const QString& accountId)
{
    return std::any_of(accounts.cbegin(), accounts.cend(),
                       [&](const Account& a) { return a.id == accountId && a.isActive(); });
}

} // namespace

QCoro::Task<BackendResult<Done>> AppState::refreshAccounts(CancelToken cancel)
{
    QPointer<AppState> self(this);
    BackendResult<QList<Account>> result = co_await m_services.backend.accounts(cancel);
    if (!result)
        co_return Unexpected{result.error()};
    if (!self)
        co_return Done{};
    setAccounts(std::move(result).value());
    // Remembered so the app counts as connected before the first refresh after a restart.
    const auto firstActive =
        std::find_if(m_accounts.cbegin(), m_accounts.cend(), [](const Account& a) { return a.isActive(); });
    if (firstActive != m_accounts.cend() && firstActive->email && !firstActive->email->isEmpty())
        m_services.settings.setValue(settingKey::email, *firstActive->email);
    else
        m_services.settings.remove(settingKey::email);
    co_return Done{};
}

QCoro::Task<> AppState::connect(QString provider, CancelToken cancel)
{
    QPointer<AppState> self(this);
    setError(std::nullopt);
    const auto fail = [&](const QString& message) {
        setError(message);
        setConnecting(std::nullopt);
    };

    const BackendResult<ConnectLink> link = co_await m_services.backend.connect(provider, cancel);
    if (!self)
        co_return;
    if (isCancelled(cancel))
        co_return fail(cancelledMessage);
    if (!link)
        co_return fail(link.error().description());

    setConnecting(provider);
    if (m_services.openInBrowser)
        m_services.openInBrowser(link->url);

    for (int check = 0; check < m_services.timings.signInChecks; ++check) {
        co_await m_services.clock.sleep(m_services.timings.signInCheck);
        if (!self)
            co_return;
        if (isCancelled(cancel))
            co_return fail(cancelledMessage);
        const BackendResult<Done> refreshed = co_await refreshAccounts(cancel);
        if (!self)
            co_return;
        if (isCancelled(cancel))
            co_return fail(cancelledMessage);
        if (!refreshed)
            co_return fail(refreshed.error().description());
        if (isActiveAccount(m_accounts, link->accountId)) {
            setConnecting(std::nullopt);
            co_return;
        }
    }
    fail(signInTimedOut);
}

QCoro::Task<bool> AppState::addIMAP(QString email, QString password, QString host, CancelToken cancel)
{
    QPointer<AppState> self(this);
    setError(std::nullopt);
    const BackendResult<Account> added =
        co_await m_services.backend.addIMAP(std::move(email), std::move(password), std::move(host), cancel);
    if (!self)
        co_return false;
    if (!added) {
        setError(added.error().description());
        co_return false;
    }
    const BackendResult<Done> refreshed = co_await refreshAccounts(cancel);
    if (!self)
        co_return false;
    if (!refreshed) {
        setError(refreshed.error().description());
        co_return false;
    }
    co_return true;
}

QCoro::Task<> AppState::removeAccount(QString accountId, CancelToken cancel)
{
    QPointer<AppState> self(this);
    const BackendResult<Done> removed =
        co_await m_services.backend.removeAccount(std::move(accountId), cancel);
    if (!self)
        co_return;
    if (!removed) {
        setError(removed.error().description());
        co_return;
    }
    const BackendResult<Done> refreshed = co_await refreshAccounts(cancel);
    if (self && !refreshed)
        setError(refreshed.error().description());
}

QCoro::Task<std::optional<ConnectLink>> AppState::imapLink(CancelToken cancel)
{
    BackendResult<ConnectLink> link = co_await m_services.backend.connect(QStringLiteral("imap"), cancel);
    if (!link)
        co_return std::nullopt;
    co_return std::move(link).value();
}

} // namespace tessary
