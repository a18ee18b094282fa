#include "AppViewTestSupport.h"
#include "app/OnboardingView.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tessary::test {
namespace {

class OnboardingTest : public AppViewTest {
protected:
    std::unique_ptr<OnboardingView> onboarding()
    {
        makeContext();
        auto view = std::make_unique<OnboardingView>(*context, [this] { ++doneCalls; });
        view->show();
        return view;
    }
    int doneCalls = 0;
};

TEST_F(OnboardingTest, ContinueWaitsForInboxAndAccess)
{
    accessibility->trusted = false;
    const auto view = onboarding();
    EXPECT_FALSE(view->back().isVisible());
    view->primary().click();
    ASSERT_EQ(view->step(), 1);
    EXPECT_TRUE(view->back().isVisible());
    EXPECT_FALSE(view->primary().isEnabled());
    view->primary().click();
    EXPECT_EQ(view->step(), 1);
    state->setAccounts({account("a", "active", "me@x.org")});
    EXPECT_TRUE(view->primary().isEnabled());
    view->primary().click();
    ASSERT_EQ(view->step(), 2);
    EXPECT_FALSE(view->primary().isEnabled());
    EXPECT_TRUE(view->turnOn().isVisible());
    accessibility->trusted = true;
    EXPECT_TRUE(spinUntil([&] { return view->primary().isEnabled(); }));
    EXPECT_TRUE(view->granted().isVisible());
    EXPECT_FALSE(view->turnOn().isVisible());
}

TEST_F(OnboardingTest, PracticeStepRunsDemoModeAndDoneFinishes)
{
    accessibility->trusted = true;
    settings.values.insert("email", "me@x.org");
    const auto view = onboarding();
    view->primary().click();
    view->primary().click();
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
    view->primary().click();
    EXPECT_EQ(settings.values.value("onboarded"), QVariant(true));
    EXPECT_FALSE(state->demoMode());
    EXPECT_EQ(doneCalls, 1);
}

} // namespace
} // namespace tessary::test
