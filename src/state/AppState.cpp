#include "state/AppState.h"

#include "common/Logging.h"

#include "common/SettingsStore.h"
#include "screen/Accessibility.h"
#include "state/LoginItem.h"
#include "state/SettingValues.h"
#include "state/ShortcutSetting.h"

#include <QPointer>

#include <utility>

namespace tessary {

namespace {

// Trash failures after use are not the user's business: the code was filled either way. They
// are logged, so a mail that keeps coming back can be explained.
QCoro::Task<> trashQuietly(BackendApi& backend, QString messageId)
{
    const BackendResult<Done> trashed = co_await backend.trash(std::move(messageId));
    if (!trashed)
        qCWarning(logState).noquote() << "the used mail was not moved to Trash:" << trashed.error().message;
}

} // namespace

AppState::AppState(AppStateServices services, QObject* parent)
    : QObject(parent)
    , m_services(std::move(services))
{
    m_shortcut = loadShortcut(m_services.settings);
    m_autoFillOnMatch = settingBool(m_services.settings.value(settingKey::autoFillOnMatch)).value_or(true);
    m_deleteAfterUse = settingBool(m_services.settings.value(settingKey::deleteAfterUse)).value_or(false);
    m_smsCodes = settingBool(m_services.settings.value(settingKey::smsCodes)).value_or(true);
    m_launchAtLogin = m_services.loginItem.isEnabled();

    m_poller.setInterval(m_services.timings.statePoll);
    QObject::connect(&m_poller, &QTimer::timeout, this, &AppState::poll);
    m_poller.start();
    // Asked without waiting, like every later check: a hung accessibility bus must not hold up
    // the start. Launch waits for this first answer before deciding on setup.
    checkAccessibility();
}

void AppState::setAccounts(QList<Account> accounts)
{
    m_accounts = std::move(accounts);
    emit accountsChanged();
}

void AppState::setConnecting(std::optional<QString> provider)
{
    m_connecting = std::move(provider);
    emit connectingChanged();
}

void AppState::setRecent(QList<FoundCode> codes)
{
    m_recent = std::move(codes);
    emit recentChanged();
}

void AppState::setShortcutError(std::optional<QString> message)
{
    m_shortcutError = std::move(message);
    emit shortcutErrorChanged();
}

void AppState::setDemoMode(bool on)
{
    m_demoMode = on;
    emit demoModeChanged();
}

void AppState::setPausedUntil(std::optional<TimePoint> until)
{
    m_pausedUntil = until;
    emit pausedUntilChanged();
}

void AppState::setAutoFillOnMatch(bool on)
{
    m_autoFillOnMatch = on;
    m_services.settings.setValue(settingKey::autoFillOnMatch, on);
    emit autoFillOnMatchChanged();
}

void AppState::setDeleteAfterUse(bool on)
{
    m_deleteAfterUse = on;
    m_services.settings.setValue(settingKey::deleteAfterUse, on);
    emit deleteAfterUseChanged();
}

void AppState::setSmsCodes(bool on)
{
    m_smsCodes = on;
    m_services.settings.setValue(settingKey::smsCodes, on);
    emit smsCodesChanged();
}

void AppState::setError(std::optional<QString> message)
{
    m_error = std::move(message);
    emit errorChanged();
}

bool AppState::isPaused() const
{
    return m_pausedUntil && *m_pausedUntil > m_services.clock.now();
}

bool AppState::hasInbox() const
{
    if (std::any_of(m_accounts.cbegin(), m_accounts.cend(), [](const Account& a) { return a.isActive(); }))
        return true;
    return m_services.settings.value(settingKey::email).typeId() == QMetaType::QString;
}

QString AppState::inboxSummary() const
{
    QList<Account> active;
    std::copy_if(m_accounts.cbegin(), m_accounts.cend(), std::back_inserter(active),
                 [](const Account& a) { return a.isActive(); });
    // Until the list comes (or while the backend cannot be reached) the remembered address stands
    // for the inbox that makes the app count as connected.
    const QVariant remembered = m_services.settings.value(settingKey::email);
    if (active.isEmpty() && remembered.typeId() == QMetaType::QString)
        return remembered.toString();
    if (active.size() != 1)
        return QString::number(active.size()) + QStringLiteral(" inboxes");
    // An empty address is no address: the provider's name reads better than nothing.
    const Account& only = active.first();
    return only.email && !only.email->isEmpty() ? *only.email : only.providerName();
}

void AppState::setShortcut(const std::optional<Shortcut>& shortcut)
{
    setShortcutError(std::nullopt);
    if (m_registerShortcut) {
        if (std::optional<QString> refusal = m_registerShortcut(shortcut)) {
            setShortcutError(std::move(refusal));
            m_registerShortcut(m_shortcut);
            return;
        }
    }
    m_shortcutBeforeChange = m_shortcut;
    m_shortcut = shortcut;
    emit shortcutChanged();
    storeShortcut(m_services.settings, shortcut);
}

void AppState::shortcutAnswered(const std::optional<QString>& refusal)
{
    const std::optional<std::optional<Shortcut>> before = std::exchange(m_shortcutBeforeChange, std::nullopt);
    if (!refusal)
        return;
    setShortcutError(refusal);
    if (!before)
        return;
    m_shortcut = *before;
    emit shortcutChanged();
    storeShortcut(m_services.settings, m_shortcut);
    if (m_registerShortcut)
        m_registerShortcut(m_shortcut);
}

void AppState::setLaunchAtLogin(bool on)
{
    m_services.loginItem.setEnabled(on, this, [this](const Expected<Done, QString>& result) {
        m_launchAtLoginError = result ? std::nullopt : std::optional(result.error());
        setLaunchAtLoginState(m_services.loginItem.isEnabled());
    });
}

void AppState::setLaunchAtLoginState(bool enabled)
{
    m_launchAtLogin = enabled;
    emit launchAtLoginChanged();
}

void AppState::applyLaunchAtLoginDefault()
{
    if (m_services.developerBuild)
        return;
    if (settingBool(m_services.settings.value(settingKey::launchAtLoginDefaultApplied)).value_or(false))
        return;
    m_services.settings.setValue(settingKey::launchAtLoginDefaultApplied, true);
    if (!m_services.loginItem.isEnabled())
        setLaunchAtLogin(true);
}

void AppState::deleteIfEnabled(const std::optional<QString>& messageId)
{
    if (!m_deleteAfterUse || !messageId)
        return;
    // The task runs on by itself once its handle is dropped.
    trashQuietly(m_services.backend, *messageId);
}

void AppState::poll()
{
    checkAccessibility();
    if (m_pausedUntil && m_services.clock.now() >= *m_pausedUntil)
        setPausedUntil(std::nullopt);
}

void AppState::checkAccessibility()
{
    // One check at a time: behind a hung accessibility bus each check waits for its time-out, and
    // checks asked every second meanwhile would pile up behind it.
    if (m_checkingAccessibility)
        return;
    m_checkingAccessibility = true;
    m_services.accessibility.checkTrusted([self = QPointer<AppState>(this)](bool trusted) {
        if (!self)
            return;
        self->m_checkingAccessibility = false;
        if (trusted != self->m_accessibility) {
            self->m_accessibility = trusted;
            emit self->accessibilityChanged();
        }
        if (!self->m_accessibilityKnown) {
            self->m_accessibilityKnown = true;
            emit self->accessibilityKnown();
        }
    });
}

void AppState::whenAccessibilityKnown(QObject* context, std::function<void()> then)
{
    if (m_accessibilityKnown) {
        then();
        return;
    }
    QObject::connect(this, &AppState::accessibilityKnown, context, std::move(then), Qt::SingleShotConnection);
}

} // namespace tessary
