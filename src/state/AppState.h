#pragma once

#include "analysis/FoundCode.h"
#include "backend/BackendApi.h"
#include "common/AppIdentity.h"
#include "common/Cancellation.h"
#include "common/Clock.h"
#include "common/TimePoint.h"
#include "common/Timings.h"
#include "hotkey/Shortcut.h"
#include "state/IMAPPreset.h"

#include <QObject>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <optional>

namespace tessary {

class Accessibility;
class LoginItem;
class SettingsStore;

// What the application state reads and calls; every member outlives the state.
struct AppStateServices {
    SettingsStore& settings;
    Accessibility& accessibility; // only whether access is granted
    LoginItem& loginItem;
    BackendApi& backend;
    Clock& clock;
    Timings timings = {};
    bool developerBuild = isDevBuild();
};

// The one observable state the views and the engine share: connected inboxes, recent codes, the
// fill shortcut, the pause, the filling options, opening at login, accessibility access and the
// last error. Every assignment of a published field emits its change signal, even when the value
// is the same. Main thread only.
class AppState : public QObject {
    Q_OBJECT

public:
    // Asks the hot key to claim a combination (none releases it); false when the system refused.
    using RegisterShortcut = std::function<std::optional<QString>(const std::optional<Shortcut>&)>;

    explicit AppState(AppStateServices services, QObject* parent = nullptr);

    const QList<Account>& accounts() const { return m_accounts; }
    void setAccounts(QList<Account> accounts);
    const std::optional<QString>& connecting() const { return m_connecting; }
    void setConnecting(std::optional<QString> provider);
    // Newest first; the engine keeps its order and size.
    const QList<FoundCode>& recent() const { return m_recent; }
    void setRecent(QList<FoundCode> codes);
    const std::optional<Shortcut>& shortcut() const { return m_shortcut; }
    const std::optional<QString>& shortcutError() const { return m_shortcutError; }
    void setShortcutError(std::optional<QString> message);
    bool demoMode() const { return m_demoMode; }
    void setDemoMode(bool on);
    bool accessibility() const { return m_accessibility; }
    // Runs `then` once the first accessibility check has answered (at once when it has), unless
    // `context` is gone by then.
    void whenAccessibilityKnown(QObject* context, std::function<void()> then);
    const std::optional<TimePoint>& pausedUntil() const { return m_pausedUntil; }
    void setPausedUntil(std::optional<TimePoint> until);
    bool autoFillOnMatch() const { return m_autoFillOnMatch; }
    void setAutoFillOnMatch(bool on); // persisted at once
    bool deleteAfterUse() const { return m_deleteAfterUse; }
    void setDeleteAfterUse(bool on); // persisted at once
    // Codes are read from the paired phones' text messages; on unless the user turned it off.
    bool smsCodes() const { return m_smsCodes; }
    void setSmsCodes(bool on); // persisted at once
    bool launchAtLogin() const { return m_launchAtLogin; }
    // Why the last change to opening at login failed; none once one works.
    const std::optional<QString>& launchAtLoginError() const { return m_launchAtLoginError; }
    const std::optional<QString>& error() const { return m_error; }
    void setError(std::optional<QString> message);

    // Installed by the hot key's owner; none until then.
    const RegisterShortcut& registerShortcut() const { return m_registerShortcut; }
    void setRegisterShortcut(RegisterShortcut hook) { m_registerShortcut = std::move(hook); }

    // Filling is paused: `pausedUntil` lies strictly in the future.
    bool isPaused() const;
    // An active inbox is listed, or one was remembered ("email") before the first refresh.
    bool hasInbox() const;
    // "user@example.com", a provider's name for an active inbox without address, or "N inboxes";
    // the remembered address while no active inbox is listed.
    QString inboxSummary() const;

    // Claims `shortcut` (none switches it off) and stores it. When the system refuses, the old
    // shortcut is claimed again, `shortcutError` says why, and nothing is stored.
    void setShortcut(const std::optional<Shortcut>& shortcut);
    // The hot key's late answer for the registration of `shortcut()` (none: granted). A refusal is
    // said in `shortcutError` like one at once; when it answers the last change, the shortcut
    // before it is claimed and stored again.
    void shortcutAnswered(const std::optional<QString>& refusal);
    // Turns opening at login on or off; a failure goes to `launchAtLoginError`, beside its switch
    // rather than among the inboxes' errors. `launchAtLogin` then shows the real state either way.
    void setLaunchAtLogin(bool on);
    // A release build turns opening at login on at its first start, once; never again after.
    void applyLaunchAtLoginDefault();
    // Moves a used code's message to the trash when the user asked for that; silent either way.
    void deleteIfEnabled(const std::optional<QString>& messageId);

signals:
    void accountsChanged();
    void connectingChanged();
    void recentChanged();
    void shortcutChanged();
    void shortcutErrorChanged();
    void demoModeChanged();
    void accessibilityChanged();
    void accessibilityKnown();
    void pausedUntilChanged();
    void autoFillOnMatchChanged();
    void deleteAfterUseChanged();
    void smsCodesChanged();
    void launchAtLoginChanged();
    void errorChanged();

private:
    void poll();
    void checkAccessibility();
    void setLaunchAtLoginState(bool enabled);

    AppStateServices m_services;
    QList<Account> m_accounts;
    std::optional<QString> m_connecting;
    QList<FoundCode> m_recent;
    std::optional<Shortcut> m_shortcut;
    std::optional<QString> m_shortcutError;
    RegisterShortcut m_registerShortcut;
    // The shortcut before the last change, while that change waits for a late answer.
    std::optional<std::optional<Shortcut>> m_shortcutBeforeChange;
    bool m_demoMode = false;
    bool m_accessibility = false;
    bool m_checkingAccessibility = false;
    bool m_accessibilityKnown = false;
    std::optional<TimePoint> m_pausedUntil;
    bool m_autoFillOnMatch = true;
    bool m_deleteAfterUse = false;
    bool m_smsCodes = true;
    bool m_launchAtLogin = false;
    std::optional<QString> m_launchAtLoginError;
    std::optional<QString> m_error;
    QTimer m_poller;
};

} // namespace tessary
