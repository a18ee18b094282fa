#include "screen/CodeField.h"
#include "screen/LinkPage.h"
#include "screen/TreeBuilder.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

using namespace test::tree;

// A field that makes every rule read as much as it can: all label sources, a narrow width (so the
// siblings are counted), 64 siblings whose texts need two reads each, a row of wrappers around
// its group (so the row is counted too), and no web area above it (so the page host search runs
// its 40 steps).
QJsonObject hungryField()
{
    return focused(withId(textField({{"AXPlaceholderValue", "Verification code"},
                                     {"AXTitle", "t"},
                                     {"AXDescription", "d"},
                                     {"AXHelp", "h"},
                                     {"AXIdentifier", "i"},
                                     {"AXDOMIdentifier", "id"},
                                     {"AXDOMClassList", QJsonArray{"c"}},
                                     {"AXTitleUIElement", QJsonObject{{"ref", "caption"}}}},
                                    40),
                          "field"));
}

QJsonObject hungryPage()
{
    QJsonArray siblings{hungryField(), withId(staticText("from the app"), "caption")};
    while (siblings.size() < codeFieldBudget::maxBoxRowChildren)
        siblings.append(node("AXStaticText", {{"AXValue", 0}, {"AXTitle", "x"}}));
    QJsonArray row;
    for (int i = 0; i < codeFieldBudget::maxRowGroups - 1; ++i)
        row.append(group({textField({}, 40), textField({}, 40)}));
    while (row.size() < codeFieldBudget::maxRowChildren - 1)
        row.append(staticText("-"));
    row.append(group(siblings));
    // The form stands straight on a page without an address of its own, after elements full of text.
    QJsonArray page;
    for (int i = 0; i < codeFieldBudget::promptSiblings; ++i)
        page.append(group({staticText("a"), staticText("b"), staticText("c"), staticText("d")}));
    page.append(group(row));
    return nested(60, node("AXWebArea", {}, page));
}

int readsOfDetect(test::FakeAccessibility& fake, bool expectAccepted)
{
    fake.resetReads();
    EXPECT_EQ(CodeField::detect(fake, *fake.focus()).has_value(), expectAccepted);
    return fake.reads();
}

TEST(CodeFieldReadBudget, TheHungriestFieldStaysInsideTheBudget)
{
    auto fake = loadRoot(hungryPage());
    const int reads = readsOfDetect(*fake, true);
    EXPECT_LE(reads, codeFieldBudget::maxReads);
    EXPECT_GT(reads, codeFieldBudget::maxReads * 7 / 10) << "the tree no longer makes every rule read";
}

TEST(CodeFieldReadBudget, CardWordsBeyondSixtyNodesAndTheChildrenOfAHugeParentAreUnseen)
{
    QJsonArray children{focused(textField({{"AXPlaceholderValue", "Security code"}}))};
    for (int i = 0; i < 57; ++i)
        children.append(staticText("filler"));
    children.append(staticText("CVV")); // after the two groups, the field and 57 fillers: node 61
    EXPECT_LE(readsOfDetect(*loadRoot(group({group(children)})), true), codeFieldBudget::maxReads);
    children.removeAt(1); // now node 60
    EXPECT_LE(readsOfDetect(*loadRoot(group({group(children)})), false), codeFieldBudget::maxReads);

    // Past 64 children a parent is no row of boxes, and its children go unread.
    QJsonArray row{focused(textField({}, 40))}; // the first of six boxes
    for (int i = 1; i < 6; ++i)
        row.append(textField({}, 40));
    for (int i = 0; i < codeFieldBudget::maxBoxRowChildren; ++i)
        row.append(node("AXGroup"));
    EXPECT_LE(readsOfDetect(*loadRoot(group({group(row)})), false), codeFieldBudget::maxReads);
}

TEST(LinkPageReadBudget, APageOfTenThousandFieldsStaysInsideTheBudget)
{
    QJsonArray fields{staticText("Check your email")};
    for (int i = 0; i < 10'000; ++i)
        fields.append(textField({}, 40));
    auto fake = appWindow(group({webArea("https://a.test/", {group(fields)})}), "chromium");
    EXPECT_TRUE(LinkPage::detect(*fake));
    EXPECT_LE(fake->reads(), linkPageBudget::maxReads);
}

// The host of the first web area among the element and its 39 nearest ancestors, when its address
// has one; the search ends where a parent cannot be read.
TEST(PageHostSearch, TheFirstWebAreaWithinFortyElementsWhoseURLHasAHost)
{
    const auto page = [](const QJsonValue& url, int groupsBetween) {
        QJsonObject attributes;
        if (!url.isUndefined())
            attributes.insert("AXURL", url);
        return node("AXWebArea", attributes, {nested(groupsBetween, focused(textField()))});
    };
    const std::tuple<const char*, QJsonObject, std::optional<QString>> rows[] = {
        {"the parent", page("https://shop.test/login", 0), "shop.test"},
        {"the 39th ancestor", page("https://shop.test/login", 38), "shop.test"},
        {"the 40th ancestor", page("https://shop.test/login", 39), std::nullopt},
        {"the element itself", focused(node("AXWebArea", {{"AXURL", "https://itself.test/"}})),
         "itself.test"},
        {"no page", group({focused(textField())}), std::nullopt},
        {"an address", page("http://127.0.0.1:8080/otp", 0), "127.0.0.1"},
        {"not a URL", page("not a url", 0), std::nullopt},
        {"no host", page("about:blank", 0), std::nullopt},
        {"no URL", page(QJsonValue(QJsonValue::Undefined), 0), std::nullopt},
    };
    for (const auto& [name, root, host] : rows) {
        auto fake = loadRoot(root);
        EXPECT_EQ(pageHost(*fake, *fake->focus()), host) << name;
    }
}

} // namespace
} // namespace tessary
