#include "engine/ControllerFixture.h"

namespace tessary::test {
namespace {

using FocusLoop = ControllerTest;

// Our own windows keep the chip; another element of the browser dismisses it.
TEST_F(FocusLoop, ClassifiesAFocusedFieldOnceAndShowsTheChipUnderItUntilTheFocusLeaves)
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
    focusAndTick("own");
    EXPECT_TRUE(chip.visible);
    EXPECT_TRUE(controller->field());
    focusAndTick("button");
    EXPECT_FALSE(chip.visible);
    EXPECT_FALSE(controller->field());
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

TEST(FocusLoopGate, WorksOnlyWithAnInboxAndAccessOrInDemoModeAndNotWhilePaused)
{
    const struct {
        const char* name;
        bool inbox, access, demoMode, paused, works;
    } rows[] = {
        {"inbox and access", true, true, false, false, true},
        {"no access", true, false, false, false, false},
        {"demo mode alone", false, false, true, false, true},
        {"paused", true, true, false, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EngineHarness h;
        if (!row.inbox)
            h.settings.values.remove("email");
        h.accessibility->trusted = row.access; // both read when the state is made
        h.make();
        h.state->setDemoMode(row.demoMode);
        if (row.paused)
            h.state->setPausedUntil(h.clock.now() + 60);
        h.focusAndTick("code");
        EXPECT_EQ(h.controller->field().has_value(), row.works);
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
