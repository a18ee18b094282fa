#include "app/AppDelegate.h"

#include "app/OnboardingView.h"
#include "app/PopoverView.h"
#include "app/SettingsView.h"
#include "app/StartupSequence.h"
#include "common/SettingsStore.h"
#include "engine/Clipboard.h"
#include "engine/CodeSources.h"
#include "engine/Controller.h"
#include "engine/SmsSource.h"
#include "state/AppState.h"
#include "state/InboxConnection.h"
#include "state/ShortcutSetting.h"

#include "platform/freedesktop/StatusIcon.h"
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace tessary {

namespace {

constexpr auto statusRefresh = std::chrono::seconds(1);
constexpr auto copyThenClose = std::chrono::milliseconds(600);
// A tray click that arrives this soon after the popup closed was the click that closed it.
constexpr qint64 closingClickMs = 300;

QString productName(bool developerBuild)
{
    return developerBuild ? QStringLiteral("Tessary Dev") : QStringLiteral("Tessary");
}

} // namespace

void makeAppWindow(QWidget* window, const QString& title)
{
    window->setWindowTitle(title);
    window->setWindowIcon(applicationIcon());
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), window);
    quit->setContext(Qt::WindowShortcut);
    QObject::connect(quit, &QShortcut::activated, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void showAppWindow(QWidget& window)
{
    // Showing a minimized window leaves it minimized, and the desktop does not restore one that
    // only asks to be activated.
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

AppDelegate::AppDelegate(AppContext& context, Controller& controller, StatusIcon& icon, QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_controller(controller)
    , m_tray(icon)
{
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::launch(StartupSequence& steps)
{
    steps.then([this] { showTray(); })
        .then([this] {
            m_controller.start();
            m_context.state.applyLaunchAtLoginDefault();
        })
        .then([this] {
            // Built in a turn before the one that shows it: the first window of a process is the
            // slowest to make (fonts, styles and code first touched).
            if (!m_context.settings.value(settingKey::onboarded).toBool())
                makeOnboarding();
        })
        .then([this] { showFirstWindow(); });
}

void AppDelegate::showTray()
{
    connect(&m_tray, &StatusIcon::clicked, this, &AppDelegate::togglePopover);

    PopoverActions actions{
        .copy =
            [this](const FoundCode& code) {
                m_context.clipboard.setText(code.code);
                QTimer::singleShot(copyThenClose, this, &AppDelegate::closePopover);
            },
        .setup = [this] { afterClosing([this] { showOnboarding(); }); },
        .settings = [this] { afterClosing([this] { openSettings(); }); },
        .updates =
            [this] {
                afterClosing([this] {
                    if (m_checkForUpdates)
                        m_checkForUpdates();
                });
            },
        .quit = [this] { afterClosing([] { QCoreApplication::quit(); }); },
        .restartOnboarding = [this] { afterClosing([this] { restartOnboarding(); }); },
    };
    m_popover = std::make_unique<QWidget>(nullptr, Qt::Popup | Qt::FramelessWindowHint);
    m_popover->setObjectName(QStringLiteral("popoverWindow"));
    // What the desktop knows it by when it places it (GNOME).
    m_popover->setWindowTitle(productName(m_context.developerBuild));
    auto* layout = new QVBoxLayout(m_popover.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(new PopoverView(m_context.state, m_context.clock, std::move(actions),
                                      m_context.developerBuild, m_context.phones, m_popover.get()));
    m_popover->installEventFilter(this);

    updateStatus();
    m_statusTimer.setInterval(statusRefresh);
    connect(&m_statusTimer, &QTimer::timeout, this, &AppDelegate::updateStatus);
    m_statusTimer.start();
}

void AppDelegate::showFirstWindow()
{
    if (m_context.phones) {
        connect(m_context.phones, &SmsSource::serviceChanged, this, &AppDelegate::notePhoneBroughtCodes);
        connect(&m_context.state, &AppState::smsCodesChanged, this, &AppDelegate::notePhoneBroughtCodes);
        notePhoneBroughtCodes();
    }
    const bool onboarded = m_context.settings.value(settingKey::onboarded).toBool();
    if (!onboarded)
        showOnboarding();
    else
        m_context.state.whenAccessibilityKnown(this, [this] { checkSetupKept(); });
    // Its failure is not news at start: the settings window refreshes again when shown.
    m_context.inbox.refreshAccounts();
    m_launched = true;
    if (m_reopenWaiting)
        reopen();
}

// A phone user whose phone is away for now is set up: Settings say where the phone is.
void AppDelegate::reopen()
{
    if (!m_launched) {
        m_reopenWaiting = true;
        return;
    }
    m_reopenWaiting = false;
    if (setupNow() == SetupAtLaunch::lost)
        showOnboarding();
    else
        openSettings();
}

SetupAtLaunch AppDelegate::setupNow() const
{
    return setupAtLaunch(m_context.state, m_context.phones,
                         m_context.settings.value(settingKey::phoneBroughtCodes).toBool());
}

// Remembered for the launches to come, when the phone may not be there yet.
void AppDelegate::notePhoneBroughtCodes()
{
    if (phoneBringsCodes(m_context.state, m_context.phones) &&
        !m_context.settings.value(settingKey::phoneBroughtCodes).toBool())
        m_context.settings.setValue(settingKey::phoneBroughtCodes, true);
}

void AppDelegate::checkSetupKept()
{
    switch (setupNow()) {
    case SetupAtLaunch::kept:
        break;
    case SetupAtLaunch::lost:
        showOnboarding();
        break;
    case SetupAtLaunch::unknown:
        connect(m_context.phones, &SmsSource::serviceChanged, this, &AppDelegate::checkSetupKept,
                Qt::SingleShotConnection);
        break;
    }
}

void AppDelegate::updateStatus()
{
    const TrayStatus status = trayStatusFor(m_context.state, m_context.phones);
    if (m_statusShown && status == m_status)
        return;
    m_status = status;
    m_statusShown = true;
    m_tray.show(trayIcon(status, m_context.developerBuild), productName(m_context.developerBuild));
}

void AppDelegate::togglePopover()
{
    if (m_popover->isVisible() || (m_popoverClosed.isValid() && m_popoverClosed.elapsed() < closingClickMs)) {
        closePopover();
        return;
    }
    placePopover();
    m_popover->show();
    m_popover->raise();
    m_popover->activateWindow();
    // No field is focused when it opens.
    m_popover->setFocus();
}

void AppDelegate::closePopover()
{
    if (m_popover && m_popover->isVisible())
        m_popover->hide();
}

void AppDelegate::placePopover()
{
    m_popover->adjustSize();
    const QSize size = m_popover->size();
    const QRect icon = m_tray.geometry();
    const QPoint pointer = QCursor::pos();
    QScreen* screen = QGuiApplication::screenAt(icon.isValid() ? icon.center() : pointer);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), size);
    QPoint at;
    if (icon.isValid() && !icon.isEmpty()) {
        // Under the icon, or above it when the panel sits at the bottom of the screen.
        const bool below = icon.center().y() < area.center().y();
        at = QPoint(icon.center().x() - size.width() / 2,
                    below ? icon.bottom() + 1 : icon.top() - size.height());
    } else {
        at = QPoint(pointer.x() - size.width() / 2, pointer.y());
    }
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - size.width())));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - size.height())));
    m_tray.place(*m_popover, at);
}

void AppDelegate::afterClosing(std::function<void()> action)
{
    closePopover();
    QTimer::singleShot(0, this, std::move(action));
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_popover.get() && event->type() == QEvent::Hide)
        m_popoverClosed.start();
    // Where the popover is a window of its own (Wayland), a click elsewhere takes the focus from it
    // without closing it.
    if (watched == m_popover.get() && event->type() == QEvent::WindowDeactivate)
        QTimer::singleShot(0, this, &AppDelegate::closePopover);
    return QObject::eventFilter(watched, event);
}

void AppDelegate::showOnboarding()
{
    makeOnboarding();
    showAppWindow(*m_onboarding);
}

void AppDelegate::makeOnboarding()
{
    if (!m_onboarding) {
        m_onboarding = std::make_unique<OnboardingView>(m_context, [this] {
            if (m_onboarding)
                m_onboarding->close();
        });
        makeAppWindow(m_onboarding.get(), QStringLiteral("Welcome to Tessary"));
        if (QScreen* screen = QGuiApplication::primaryScreen())
            m_onboarding->move(screen->availableGeometry().center() - m_onboarding->rect().center());
    }
}

void AppDelegate::openSettings()
{
    if (!m_settings) {
        m_settings = std::make_unique<SettingsView>(m_context, [this] { restartOnboarding(); });
        makeAppWindow(m_settings.get(), productName(m_context.developerBuild) + QStringLiteral(" Settings"));
    }
    showAppWindow(*m_settings);
    QTimer::singleShot(0, this, &AppDelegate::closePopover);
}

void AppDelegate::restartOnboarding()
{
    closePopover();
    if (m_onboarding) {
        m_onboarding->close();
        m_onboarding.reset();
    }
    m_context.settings.setValue(settingKey::onboarded, false);
    showOnboarding();
}

} // namespace tessary
