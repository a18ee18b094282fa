#include "engine/ControllerFixture.h"

namespace tessary::test {
namespace {

using FocusLoop = ControllerTest;

TEST_F(FocusLoop, ClassifiesAFocusedFieldOnceAndShowsTheChipUnderIt)
{
    focusAndTick("code");
    ASSERT_TRUE(controller->field());
    EXPECT_EQ(controller->field()->domain, "accounts.example.com");
    EXPECT_EQ(chipAs<ChipModel::Searching>()->domain, "example.com");
    EXPECT_EQ(chip.placements.last(), controller->field()->frame);

    accessibility->resetReads();
    tick();
    tick();
    EXPECT_EQ(accessibility->readsOf("AXRole"), 0) << "an unchanged focus is not classified again";
}

TEST_F(FocusLoop, APageThatFinishedLoadingGetsItsFocusedElementClassifiedAgain)
{
    accessibility->setAttribute(at("code"), "AXRole", "AXGroup"); // not built yet
    focusAndTick("code");
    EXPECT_FALSE(controller->field());
    accessibility->setAttribute(at("code"), "AXRole", "AXTextField");
    tick();
    EXPECT_FALSE(controller->field()) << "no load finished: no second look";
    ++accessibility->loads;
    tick();
    EXPECT_TRUE(controller->field());
}

TEST_F(FocusLoop, EachApplicationThatComesToTheFrontIsPreparedOnce)
{
    const RunningApplication browser = *accessibility->application;
    const RunningApplication mail{browser.pid + 1, "thunderbird",
                                  "/usr/share/applications/thunderbird.desktop"};
    accessibility->application.reset(); // nothing in front at start
    start();
    tick();
    EXPECT_TRUE(accessibility->prepared.isEmpty());
    for (const auto& front : {browser, browser, mail, browser}) {
        accessibility->application = front;
        tick();
    }
    EXPECT_EQ(accessibility->prepared, (QList<RunningApplication>{browser, mail, browser}));
}

TEST_F(FocusLoop, LeavingForAnotherElementOfTheBrowserDismissesButOurOwnWindowsKeepTheChip)
{
    focusAndTick("code");
    focusAndTick("own");
    EXPECT_TRUE(chip.visible);
    EXPECT_TRUE(controller->field());
    focusAndTick("button");
    EXPECT_FALSE(chip.visible);
    EXPECT_FALSE(controller->field());
}

TEST(FocusLoopGate, WorksOnlyWithAnInboxAndAccessOrInDemoModeAndNotWhilePaused)
{
    struct Case {
        const char* name;
        std::function<void(EngineHarness&)> before; // before the state is made
        std::function<void(EngineHarness&)> after;
        bool works;
    };
    const auto nothing = [](EngineHarness&) {};
    const Case cases[] = {
        {"inbox and access", nothing, nothing, true},
        {"no access", [](EngineHarness& h) { h.accessibility->trusted = false; }, nothing, false},
        {"demo mode alone",
         [](EngineHarness& h) {
             h.settings.values.remove("email");
             h.accessibility->trusted = false;
         },
         [](EngineHarness& h) { h.state->setDemoMode(true); }, true},
        {"paused", nothing, [](EngineHarness& h) { h.state->setPausedUntil(h.clock.now() + 60); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        c.before(h);
        h.make();
        c.after(h);
        h.focusAndTick("code");
        EXPECT_EQ(h.controller->field().has_value(), c.works);
    }
}

TEST_F(FocusLoop, TheFirstHeartbeatAfterAQuietSpellDismissesAndTheLoopResumesSixSecondsAfterTheLast)
{
    start();
    focusAndTick("code");
    heartbeat.hear();
    EXPECT_FALSE(chip.visible);
    clock.advance(2s);
    heartbeat.hear();
    EXPECT_TRUE(controller->field() == std::nullopt);
    focusAndTick("search");
    focusAndTick("code");
    EXPECT_FALSE(controller->field());
    clock.advance(6s);
    focusAndTick("search");
    focusAndTick("code");
    EXPECT_TRUE(controller->field());
}

TEST_F(FocusLoop, AFailedChipHidesFourSecondsLaterUnlessReplaced)
{
    controller->show(ChipModel::Failed{"Server error 500"});
    clock.advance(3900ms);
    EXPECT_TRUE(chip.visible);
    clock.advance(100ms);
    EXPECT_FALSE(chip.visible);

    controller->show(ChipModel::Failed{"Server error 500"});
    clock.advance(2s);
    controller->show(ChipModel::Searching{});
    clock.advance(3s);
    EXPECT_TRUE(chip.visible);
}

} // namespace
} // namespace tessary::test
