#include "screen/LinkPage.h"
#include "screen/TreeBuilder.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

using namespace test::tree;

// A browser whose focused window shows `page` in a web area 1200 × 800 at the origin.
std::unique_ptr<test::FakeAccessibility> browserShowing(QJsonArray page, const QString& appId = "firefox-esr")
{
    return appWindow(group({node("AXToolbar", {}, {staticText("check your email")}),
                            webArea("https://app.example.com/login", page)}),
                     appId);
}

// The browsers' ids are a list of constants; the recorded pages show Firefox ESR's and Chromium's.
TEST(LinkPageBrowsers, OnlyKnownBrowsersAreRead)
{
    const QJsonArray page{staticText("Check your email")};
    auto other = browserShowing(page, "Firefox-ESR");
    EXPECT_FALSE(LinkPage::detect(*other));
    EXPECT_EQ(other->reads(), 0) << "a non-browser's windows are never read";
    EXPECT_TRUE(LinkPage::detect(*browserShowing(page, "firefox_firefox"))); // Ubuntu's, a snap

    auto nothingInFront = browserShowing(page);
    nothingInFront->application.reset();
    EXPECT_FALSE(LinkPage::detect(*nothingInFront));
}

TEST(LinkPageAnchor, AStripUnderThePagesTopEdge)
{
    auto fake = browserShowing({staticText("Check your email")});
    // The page fills 1200 × 800 from the top-left corner: the strip ends 20 under its top edge.
    EXPECT_EQ(LinkPage::detect(*fake)->anchor, (Rect{430, 8, 340, 12}));

    // A page without a frame has no anchor; its address is kept as text whatever it holds.
    auto noFrame = appWindow(
        group({node("AXWebArea", {{"AXURL", "not a url"}}, {staticText("Check your email")})}), "firefox");
    const auto page = LinkPage::detect(*noFrame);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->anchor, std::nullopt);
    EXPECT_EQ(page->url, "not a url");
    EXPECT_EQ(page->host, std::nullopt);
}

// The web area must lie within 400 elements, its prompt within its first 250.
TEST(LinkPageBudget, AWebAreaAPromptOrACodeFieldPastItsCountIsUnseen)
{
    const auto page = [](int groupsBefore, int fillersBefore) {
        QJsonArray before, text;
        for (int i = 0; i < groupsBefore; ++i)
            before.append(node("AXGroup"));
        for (int i = 0; i < fillersBefore; ++i)
            text.append(staticText("Lorem ipsum"));
        text.append(staticText("Check your email"));
        before.append(webArea("https://a.test/", text));
        return LinkPage::detect(*appWindow(group(before), "firefox")).has_value();
    };
    EXPECT_TRUE(page(398, 0)); // the window is element 1, the web area 400
    EXPECT_FALSE(page(399, 0));
    EXPECT_TRUE(page(0, 248)); // counted from the web area, element 1: the prompt is 250
    EXPECT_FALSE(page(0, 249));

    // Only the first ten text fields are classified: a code field after them is not seen.
    QJsonArray fields{staticText("Check your email")};
    for (int i = 0; i < linkPageBudget::classifiedFields; ++i)
        fields.append(textField({{"AXTitle", "Name"}}));
    fields.append(textField({{"AXTitle", "Verification code"}}));
    auto fake = browserShowing(fields);
    EXPECT_TRUE(LinkPage::detect(*fake));
    EXPECT_LE(fake->reads(), linkPageBudget::maxReads);
    fields.removeAt(1);
    EXPECT_FALSE(LinkPage::detect(*browserShowing(fields)));
}

} // namespace
} // namespace tessary
