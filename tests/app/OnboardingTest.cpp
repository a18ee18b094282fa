#include "AppViewTestSupport.h"
#include "app/OnboardingView.h"
#include "app/PopoverText.h"
#include "app/TrayIcons.h"
#include "engine/CodeSources.h"
#include "fakes/FakeSmsSource.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tessary::test {
namespace {

using OnboardingTest = AppViewTest;

TEST_F(OnboardingTest, ContinueWaitsForInboxAndAccessThenPracticeRunsDemoModeAndDoneFinishes)
{
    accessibility->trusted = false;
    int doneCalls = 0;
    const auto view = std::make_unique<OnboardingView>(makeContext(), [&] { ++doneCalls; });
    view->show();
    EXPECT_FALSE(view->back().isVisible());
    view->primary().click();
    ASSERT_EQ(view->step(), 1);
    EXPECT_TRUE(view->back().isVisible());
    EXPECT_FALSE(view->primary().isEnabled());
    QTest::keyClick(view.get(), Qt::Key_Return);
    EXPECT_EQ(view->step(), 1);
    Account unreadable = account("b", "error", "me@host.org", "imap");
    unreadable.error =
        "The credential key opens none of the inboxes in the database: every inbox must be added again";
    state->setAccounts({account("a", "active", "me@x.org"), unreadable});
    EXPECT_TRUE(view->primary().isEnabled());
    QCoreApplication::processEvents();
    // Why an inbox cannot be read is shown whole, on as many lines as it takes.
    const QLabel* why = view->findChildren<QLabel*>("second").constLast();
    EXPECT_EQ(why->text(), unreadable.error);
    EXPECT_LE(why->minimumSizeHint().width(), why->width());
    EXPECT_LE(why->heightForWidth(why->width()), why->height());
    QTest::keyClick(view.get(), Qt::Key_Return); // Return presses Continue
    ASSERT_EQ(view->step(), 2);
    EXPECT_FALSE(view->primary().isEnabled());
    EXPECT_TRUE(view->turnOn().isVisible());
    view->turnOn().click();
    accessibility->trusted = true;
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->primary().isEnabled(); }));
    EXPECT_TRUE(view->granted().isVisible());
    EXPECT_FALSE(view->turnOn().isVisible());
    // What is left to do (the apps to restart) stays once access is seen.
    EXPECT_TRUE(visibleTexts<QLabel>(*view).contains("Restart your browser once."));

    // The practice step runs demo mode; Done finishes.
    EXPECT_FALSE(state->demoMode());
    view->primary().click();
    ASSERT_EQ(view->step(), 3);
    EXPECT_TRUE(state->demoMode());
    EXPECT_EQ(view->primary().text(), "Done");
    view->practiceField().setText("12345");
    EXPECT_FALSE(view->success().isVisible());
    view->practiceField().setText("123456");
    EXPECT_TRUE(view->success().isVisible());
    view->back().click();
    EXPECT_FALSE(state->demoMode());
    view->primary().click();
    EXPECT_TRUE(state->demoMode());
    EXPECT_EQ(view->practiceField().text(), "123456");
    QTest::keyClick(&view->practiceField(), Qt::Key_Return);
    EXPECT_EQ(settings.values.value("onboarded"), QVariant(true));
    EXPECT_FALSE(state->demoMode());
    EXPECT_EQ(doneCalls, 1);
}

using Daemon = PhoneService::Daemon;

// Without an inbox, with accessibility: what a paired phone makes of the inbox step, the tray,
// the popover and, after a finished onboarding, the next launch.
struct PhoneRow {
    const char* name;
    PhoneService service;
    bool smsCodes; // "Codes from my phone's messages"
    bool goesOn;   // a source of codes: the inbox step's Continue, and set up
    SetupAtLaunch atLaunch;
    bool broughtCodesBefore = true; // codes came from a phone before this launch
};

class OnboardingPhone : public OnboardingTest, public ::testing::WithParamInterface<PhoneRow> {};

TEST_P(OnboardingPhone, APhoneThatRelaysIsASourceOfCodes)
{
    const PhoneRow& row = GetParam();
    accessibility->trusted = true;
    FakeSmsSource phones;
    phones.setService(row.service);
    makeContext().phones = &phones;
    state->setSmsCodes(row.smsCodes);
    OnboardingView view(*context, [] {});
    view.show();
    view.primary().click();
    EXPECT_EQ(view.primary().isEnabled(), row.goesOn);
    EXPECT_EQ(view.phone().isVisible(), row.smsCodes);
    for (const PairedPhone& phone : row.service.phones)
        EXPECT_TRUE(view.phone().text().contains(phone.name)) << view.phone().text().toStdString();
    EXPECT_EQ(trayStatusFor(*state, &phones), row.goesOn ? TrayStatus::ready : TrayStatus::needsSetup);
    EXPECT_EQ(popover::headerFor(*state, &phones),
              row.goesOn ? popover::Header::watching : popover::Header::notSetUp);
    if (row.goesOn) {
        EXPECT_EQ(popover::watchedText(*state, &phones), "Watching Pixel 7");
    }
    EXPECT_EQ(setupAtLaunch(*state, &phones, row.broughtCodesBefore), row.atLaunch);
}

const PairedPhone relaying{"a", "Pixel 7", true, true, true};
const PairedPhone notifying{"a", "Pixel 7", true, false, true};
const PairedPhone mute{"a", "Pixel 7", true, false, false};
const PairedPhone away{"a", "Pixel 7", false, false, false};

// At login KDE Connect, or the phone, may come after Tessary: not there yet is no lost setup.
INSTANTIATE_TEST_SUITE_P(
    Phones, OnboardingPhone,
    ::testing::Values(
        PhoneRow{"Relaying", {Daemon::running, {relaying}}, true, true, SetupAtLaunch::kept},
        PhoneRow{"SwitchedOff", {Daemon::running, {relaying}}, false, false, SetupAtLaunch::lost},
        PhoneRow{"Notifications", {Daemon::running, {notifying}}, true, true, SetupAtLaunch::kept},
        PhoneRow{"RelayingNothing", {Daemon::running, {mute}}, true, false, SetupAtLaunch::lost},
        PhoneRow{"Away", {Daemon::running, {away}}, true, false, SetupAtLaunch::kept},
        PhoneRow{"NonePaired", {Daemon::running, {}}, true, false, SetupAtLaunch::lost},
        PhoneRow{"NotRunningYet", {Daemon::notRunning, {}}, true, false, SetupAtLaunch::kept},
        PhoneRow{
            "NotRunningNorEverAPhone", {Daemon::notRunning, {}}, true, false, SetupAtLaunch::lost, false},
        PhoneRow{"NotAnsweredYet", {}, true, false, SetupAtLaunch::unknown}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
} // namespace tessary::test
