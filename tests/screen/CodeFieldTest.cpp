#include "screen/CodeField.h"
#include "screen/TreeBuilder.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

using namespace test::tree;

// Classifies the element marked focused in a tree under a frontmost app.
std::optional<CodeField> detectFocused(const QJsonObject& root)
{
    auto fake = loadRoot(root);
    if (!fake || !fake->focus()) {
        ADD_FAILURE() << "tree has no focused element";
        return std::nullopt;
    }
    return CodeField::detect(*fake, *fake->focus());
}

TEST(CodeFieldCardWords, CardWordsBeyondSixtyNodesAreUnseen)
{
    QJsonArray children{focused(textField({{"AXPlaceholderValue", "Security code"}}))};
    for (int i = 0; i < 57; ++i)
        children.append(staticText("filler"));
    children.append(staticText("CVV")); // after the two groups, the field and 57 fillers: node 61
    EXPECT_TRUE(detectFocused(group({group(children)})));
    children.removeAt(1); // now node 60
    EXPECT_FALSE(detectFocused(group({group(children)})));
}

TEST(CodeFieldSplitBoxes, AParentWithHundredsOfChildrenIsNoRow)
{
    QJsonArray row{focused(textField({}, 40))}; // the first of six boxes
    for (int i = 1; i < 6; ++i)
        row.append(textField({}, 40));
    for (int i = 0; i < codeFieldBudget::maxBoxRowChildren; ++i)
        row.append(node("AXGroup"));
    EXPECT_FALSE(detectFocused(group({group(row)})));
}

} // namespace
} // namespace tessary
