#pragma once

#include "app/AppContext.h"
#include "app/TrayIcons.h"
#include "engine/CodeSources.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace tessary {

class Controller;
class PopoverView;
class StartupSequence;
class StatusIcon;

// The application's shell: starts the engine, keeps the tray icon and its popover, opens the
// settings and onboarding windows, and decides at launch and on reopen whether the user must be
// led through setup. Windows are made on first use and only hidden when closed.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    AppDelegate(AppContext& context, Controller& controller, StatusIcon& icon, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Everything a start does, in order, a job of `steps` each: tray and popover; engine and
    // open-at-login default; onboarding when needed (built, then shown) and one inbox refresh.
    void launch(StartupSequence& steps);
    // A second launch or the desktop asks for us: onboarding when the setup is lost, else settings. Asked
    // during the launch, once the launch is done.
    void reopen();

    void togglePopover();
    void closePopover();
    void showOnboarding();
    void openSettings();
    void restartOnboarding();
    // Installed by main: what "Check for Updates" does.
    void setCheckForUpdates(std::function<void()> check) { m_checkForUpdates = std::move(check); }

    TrayStatus trayStatus() const { return m_status; }
    QWidget* popover() const { return m_popover.get(); }
    QWidget* settingsWindow() const { return m_settings.get(); }
    QWidget* onboardingWindow() const { return m_onboarding.get(); }

private:
    void showTray();
    void makeOnboarding();
    void showFirstWindow();
    void updateStatus();
    // After a finished onboarding: onboarding again once the setup turns out lost.
    void checkSetupKept();
    void notePhoneBroughtCodes();
    SetupAtLaunch setupNow() const;
    void placePopover();
    // Runs `action` from the event loop once the popover has closed.
    void afterClosing(std::function<void()> action);
    bool eventFilter(QObject* watched, QEvent* event) override;

    AppContext& m_context;
    Controller& m_controller;
    StatusIcon& m_tray;
    std::unique_ptr<QWidget> m_popover;
    std::unique_ptr<QWidget> m_settings;
    std::unique_ptr<QWidget> m_onboarding;
    QTimer m_statusTimer;
    bool m_launched = false;
    bool m_reopenWaiting = false;
    TrayStatus m_status = TrayStatus::needsSetup;
    bool m_statusShown = false;
    QElapsedTimer m_popoverClosed; // the click that closes a popup also reaches the tray icon
    std::function<void()> m_checkForUpdates;
};

// Makes `content` a top-level window of ours: titled, closed by Ctrl+Q quitting the application.
void makeAppWindow(QWidget* window, const QString& title);
// Shows a window of ours in front of the others, for the user to work in.
void showAppWindow(QWidget& window);

} // namespace tessary
