// tessary-app-shots [--dark] DIR: every window and state of the application rendered offscreen to
// PNG, for the README; with --dark, in the palette of a dark desktop. Runs over the app tests'
// fakes, so the pictures never depend on this machine's mail or desktop.

#include "AppViewTestSupport.h"
#include "app/AccountsView.h"
#include "app/IMAPSheet.h"
#include "app/OnboardingView.h"
#include "app/PopoverView.h"
#include "app/SettingsView.h"
#include "chip/DarkPalette.h"
#include "fakes/FakeSmsSource.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>

using namespace tessary;
using namespace tessary::test;

namespace {

struct AppShots : AppViewTest {
    void TestBody() override {}
    void take(const QDir& out);
};

void AppShots::take(const QDir& out)
{
    const auto save = [&](QWidget& widget, const char* name) {
        widget.show();
        QCoreApplication::processEvents();
        widget.grab().save(out.filePath(QString::fromLatin1(name) + ".png"));
    };
    makeContext();
    const PopoverActions actions{[](const FoundCode&) {}, [] {}, [] {}, [] {}, [] {}, [] {}};
    const auto popover = [&](const char* name) {
        PopoverView view(*state, clock, actions, false);
        save(view, name);
    };

    popover("popover-not-set-up");
    {
        FakeSmsSource only;
        only.setService({PhoneService::Daemon::running, {PairedPhone{"a", "Pixel 7", true, true, true}}});
        accessibility->trusted = true;
        QCoreApplication::processEvents();
        PopoverView view(*state, clock, actions, false, &only);
        save(view, "popover-phone");
        accessibility->trusted = false;
    }
    accessibility->trusted = true;
    state->setAccounts(
        {Account{"1", "gmail", "me@gmail.com", "active"}, Account{"2", "imap", std::nullopt, "active"}});
    QCoreApplication::processEvents();
    popover("popover-empty");
    state->setRecent({FoundCode{"482913", "", "github.com", clock.now() - 42, 0, {}},
                      FoundCode{"0731", "", "bank.example", clock.now() - 3600 * 3, 0, {}},
                      FoundCode{"K7-2QX", "", "shop.example", clock.now() - 86400 * 2, 0, {}}});
    popover("popover-codes");
    state->setPausedUntil(clock.now() + 3600);
    popover("popover-paused");
    state->setPausedUntil(std::nullopt);

    state->setAccounts({Account{"1", "gmail", "me@gmail.com", "active"},
                        Account{"3", "outlook", "work@outlook.com", "pending"}});
    FakeSmsSource phones;
    context->phones = &phones;
    using Daemon = PhoneService::Daemon;
    const QList<std::pair<PhoneService, const char*>> phoneStates{
        {{Daemon::running, {PairedPhone{"a", "Pixel 7", true, true, true}}}, "settings"},
        {{Daemon::running, {PairedPhone{"a", "Pixel 7", true, false, true}}}, "settings-phone-no-sms"},
        {{Daemon::running, {PairedPhone{"a", "Pixel 7", true, false, true, true}}},
         "settings-phone-unanswered"},
        {{Daemon::running, {PairedPhone{"a", "Pixel 7", false, false, false}}}, "settings-phone-away"},
        {{Daemon::running, {}}, "settings-phone-none-paired"},
        {{Daemon::notRunning, {}}, "settings-phone-not-running"},
        {{Daemon::notInstalled, {}}, "settings-phone-not-installed"}};
    for (const auto& [service, name] : phoneStates) {
        phones.setService(service);
        SettingsView settingsView(*context, [] {});
        save(settingsView, name);
    }
    state->setConnecting(QStringLiteral("gmail"));
    {
        SettingsView settingsView(*context, [] {});
        save(settingsView, "settings-connecting");
    }
    state->setConnecting(std::nullopt);
    loginItem.failure =
        "Couldn't write /home/me/.config/autostart/com.tessary.Tessary.desktop: Permission denied";
    state->setLaunchAtLogin(true);
    {
        SettingsView settingsView(*context, [] {});
        save(settingsView, "settings-login-refused");
    }
    IMAPSheet sheet(IMAPPreset::all().constFirst(), *state, *inbox, [](const QUrl&) {});
    save(sheet, "imap-sheet");

    state->setAccounts({});
    accessibility->trusted = false;
    QCoreApplication::processEvents();
    // Codes from a phone alone: the inbox step names it and lets the user go on.
    phones.setService(phoneStates.constFirst().first);
    {
        OnboardingView onboarding(*context, [] {});
        onboarding.primary().click();
        save(onboarding, "onboarding-2-phone");
    }
    phones.setService({Daemon::running, {}});
    OnboardingView onboarding(*context, [] {});
    for (int step = 0; step < OnboardingView::stepCount; ++step) {
        if (step == 1)
            state->setAccounts({Account{"1", "gmail", "me@gmail.com", "active"}});
        if (step == 3)
            onboarding.practiceField().setText("482913");
        save(onboarding, QStringLiteral("onboarding-%1").arg(step + 1).toLatin1().constData());
        // The picture of a step with Continue off is taken; the tour goes on regardless.
        onboarding.primary().setEnabled(true);
        onboarding.primary().click();
    }
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const bool dark = argc > 1 && qstrcmp(argv[1], "--dark") == 0;
    if (dark)
        QApplication::setPalette(darkDesktopPalette());
    const int folder = dark ? 2 : 1;
    const QDir out(argc > folder ? argv[folder] : dark ? "docs/app-dark" : "docs/app");
    QDir().mkpath(out.path());
    AppShots().take(out);
    return 0;
}
