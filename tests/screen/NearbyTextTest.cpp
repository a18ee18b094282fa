#include "screen/CodeField.h"
#include "screen/TreeBuilder.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

using namespace test::tree;

QString aroundFocus(const QJsonObject& root, int levels = 2, int budget = 30)
{
    auto fake = loadRoot(root);
    return nearbyText(*fake, *fake->focus(), levels, budget);
}

TEST(NearbyTextClimbing, ClimbsTheGivenNumberOfLevels)
{
    const QJsonObject page =
        group({staticText("top"), group({staticText("middle"), group({focused(textField())})})});
    EXPECT_EQ(aroundFocus(page, 0), "");
    EXPECT_EQ(aroundFocus(page, 1), "");
    EXPECT_EQ(aroundFocus(page, 2), "middle");
    EXPECT_EQ(aroundFocus(page, 3), "top middle");
    EXPECT_EQ(aroundFocus(page, 9), "top middle"); // the root has no parent: the climb stays there
}

TEST(NearbyTextClimbing, NeverClimbsIntoTheWebAreaButReadsThePromptBeforeAFormOnIt)
{
    const QJsonObject browser =
        group({staticText("browser toolbar"),
               webArea("https://a.test/",
                       {staticText("far"), heading("Verify"), staticText("prompt"), staticText("near"),
                        group({focused(textField())}), staticText("after")})});
    EXPECT_EQ(aroundFocus(browser, 1), "");
    EXPECT_EQ(aroundFocus(browser, 5), "Verify prompt near");

    const QJsonObject directChild =
        group({webArea("https://a.test/", {staticText("page"), focused(textField())})});
    EXPECT_EQ(aroundFocus(directChild, 2), "page");
}

TEST(NearbyTextReading, StaticTextsAndHeadingsInBreadthFirstOrder)
{
    const QJsonObject page = group({
        group({staticText("deep")}),
        heading("Heading"),
        node("AXButton", {{"AXTitle", "button title"}}),
        node("AXStaticText", {{"AXValue", "value"}, {"AXTitle", "title"}}),
        node("AXStaticText", {{"AXValue", 7}, {"AXTitle", "title when value is no text"}}),
        focused(textField({{"AXValue", "typed"}})),
    });
    EXPECT_EQ(aroundFocus(page, 1), "Heading value title when value is no text deep");
}

TEST(NearbyTextBudget, TextBeyondTheBudgetIsUnseen)
{
    QJsonArray children{focused(textField())};
    for (int i = 3; i <= 31; ++i) // the group is node 1, the field node 2
        children.append(staticText(QString::number(i)));
    const QString around = aroundFocus(group(children), 1, 30);
    EXPECT_TRUE(around.endsWith(" 30")) << around;
    EXPECT_FALSE(around.contains("31"));
    EXPECT_EQ(aroundFocus(group(children), 1, -5), "");
    EXPECT_EQ(aroundFocus(group(children), 1, 0), "");
}

TEST(NearbyTextBudget, ACycleIsWalkedOnlyUpToTheBudget)
{
    auto fake = loadRoot(
        withId(group({staticText("loop"), focused(textField()), QJsonObject{{"ref", "top"}}}), "top"));
    fake->resetReads();
    const QString around = nearbyText(*fake, *fake->focus(), 2, 30);
    EXPECT_EQ(around.count("loop"), 10); // every third element of the endless walk
    EXPECT_LE(fake->reads(), codeFieldBudget::aroundReads);
}

TEST(PageHostSearch, LooksAtTheElementAndItsThirtyNineNearestAncestors)
{
    auto host = [](int groupsBetween) {
        auto fake =
            loadRoot(webArea("https://shop.test/login", {nested(groupsBetween, focused(textField()))}));
        return pageHost(*fake, *fake->focus());
    };
    EXPECT_EQ(host(0), QStringLiteral("shop.test"));
    EXPECT_EQ(host(38), QStringLiteral("shop.test")); // the web area is the 39th ancestor
    EXPECT_EQ(host(39), std::nullopt);

    auto fake = loadRoot(focused(node("AXWebArea", {{"AXURL", "https://itself.test/"}})));
    EXPECT_EQ(pageHost(*fake, *fake->focus()), QStringLiteral("itself.test"));
    auto noPage = loadRoot(group({focused(textField())})); // ends where the parent cannot be read
    EXPECT_EQ(pageHost(*noPage, *noPage->focus()), std::nullopt);
}

TEST(PageHostSearch, NeedsAURLWithAHost)
{
    auto host = [](QJsonValue url) {
        QJsonObject attributes;
        if (!url.isUndefined())
            attributes.insert("AXURL", url);
        auto fake = loadRoot(node("AXWebArea", attributes, {focused(textField())}));
        return pageHost(*fake, *fake->focus());
    };
    EXPECT_EQ(host("http://127.0.0.1:8080/otp"), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(host("not a url"), std::nullopt);
    EXPECT_EQ(host("about:blank"), std::nullopt);
    EXPECT_EQ(host(QJsonValue()), std::nullopt);
    EXPECT_EQ(host(12), std::nullopt);
    EXPECT_EQ(host(QJsonValue(QJsonValue::Undefined)), std::nullopt);
}

} // namespace
} // namespace tessary
