#include "screen/CodeField.h"
#include "screen/FieldClassification.h"
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

QString verdictReason(const QJsonObject& root)
{
    auto fake = loadRoot(root);
    return classifyField(*fake, *fake->focus()).reason;
}

QJsonObject labelled(const QString& placeholder, double width = 300)
{
    return textField({{"AXPlaceholderValue", placeholder}}, width);
}

TEST(CodeFieldRole, OnlyPlainTextFieldsQualify)
{
    const QJsonObject codeLabel{{"AXPlaceholderValue", "Verification code"}};
    EXPECT_TRUE(detectFocused(group({focused(textField(codeLabel))})));

    QJsonObject password = codeLabel;
    password.insert("AXSubrole", "AXSecureTextField");
    EXPECT_FALSE(detectFocused(group({focused(textField(password))})));
    EXPECT_EQ(verdictReason(group({focused(textField(password))})), "password field");

    QJsonObject search = codeLabel;
    search.insert("AXSubrole", "AXSearchField");
    EXPECT_FALSE(detectFocused(group({focused(textField(search))})));

    EXPECT_FALSE(detectFocused(group({focused(withFrame(node("AXTextArea", codeLabel), 0, 0, 300, 32))})));
    EXPECT_FALSE(detectFocused(group({focused(withFrame(node("AXButton", codeLabel), 0, 0, 300, 32))})));
}

TEST(CodeFieldLabel, JoinsEverySourceInOrder)
{
    auto fake = loadRoot(group({
        withId(staticText("Code from the app"), "caption"),
        focused(textField({{"AXPlaceholderValue", "placeholder"},
                           {"AXTitle", "title"},
                           {"AXDescription", "description"},
                           {"AXHelp", "help"},
                           {"AXIdentifier", "identifier"},
                           {"AXDOMIdentifier", "dom-id"},
                           {"AXDOMClassList", QJsonArray{"first", "second"}},
                           {"AXTitleUIElement", QJsonObject{{"ref", "caption"}}}})),
    }));
    EXPECT_EQ(fieldLabel(*fake, *fake->focus()),
              "placeholder title description help identifier dom-id first second Code from the app");
}

TEST(CodeFieldLabel, SkipsValuesThatAreNotText)
{
    auto fake = loadRoot(group({focused(textField({{"AXTitle", 42},
                                                   {"AXHelp", "help"},
                                                   {"AXDOMClassList", QJsonArray{"a", 1}},
                                                   {"AXTitleUIElement", "not an element"}}))}));
    EXPECT_EQ(fieldLabel(*fake, *fake->focus()), "help");
}

TEST(CodeFieldLabel, AnySourceCanNameTheCode)
{
    // Wide fields with nothing around: only the label can accept them.
    EXPECT_TRUE(
        detectFocused(group({focused(textField({{"AXDOMClassList", QJsonArray{"form", "otp"}}}, 800))})));
    EXPECT_TRUE(detectFocused(group({focused(textField({{"AXDOMIdentifier", "totp"}}, 800))})));
    EXPECT_TRUE(
        detectFocused(group({withId(staticText("Two-factor code"), "l"),
                             focused(textField({{"AXTitleUIElement", QJsonObject{{"ref", "l"}}}}, 800))})));
    EXPECT_TRUE(detectFocused(group({focused(textField({{"AXTitle", "Код подтверждения"}}, 800))})));
    EXPECT_TRUE(detectFocused(group({focused(textField({{"AXTitle", "Bestätigungscode"}}, 800))})));
    EXPECT_FALSE(detectFocused(group({focused(textField({{"AXTitle", "Quantity"}}, 800))})));
}

TEST(CodeFieldValueLength, ThirteenCharactersMeanTheFieldHoldsSomethingElse)
{
    QJsonObject attributes{{"AXTitle", "Verification code"}, {"AXValue", "123456789012"}};
    EXPECT_TRUE(detectFocused(group({focused(textField(attributes))})));
    attributes.insert("AXValue", "1234567890123");
    EXPECT_FALSE(detectFocused(group({focused(textField(attributes))})));
    EXPECT_EQ(verdictReason(group({focused(textField(attributes))})), "holds 13 or more characters");
}

TEST(CodeFieldExclusions, ExcludedLabelsWinOverCodeWords)
{
    const QJsonArray prompt{heading("Enter the code we sent")};
    auto withPrompt = [&](const QJsonObject& field) {
        QJsonArray children = prompt;
        children.append(focused(field));
        return group(children);
    };
    EXPECT_FALSE(detectFocused(withPrompt(labelled("Promo code"))));
    EXPECT_EQ(verdictReason(withPrompt(labelled("Promo code"))), "label mentions promo");
    EXPECT_FALSE(detectFocused(withPrompt(labelled("Gift card code"))));
    EXPECT_FALSE(detectFocused(withPrompt(labelled("Email address"))));
    EXPECT_FALSE(detectFocused(withPrompt(labelled("Промокод"))));
    EXPECT_FALSE(detectFocused(withPrompt(labelled("ZIP code"))));
    // A word that merely contains an excluded one is not excluded.
    EXPECT_TRUE(detectFocused(withPrompt(labelled("Passcode"))));
}

TEST(CodeFieldCardWords, CardWordsAroundRejectEvenACodeLabel)
{
    const QJsonObject securityCode = labelled("Security code");
    EXPECT_TRUE(detectFocused(group({staticText("Sign in"), focused(securityCode)})));
    EXPECT_FALSE(detectFocused(group({staticText("CVV"), focused(securityCode)})));
    EXPECT_FALSE(detectFocused(group({staticText("Expiry (MM / YY)"), focused(securityCode)})));
    EXPECT_FALSE(
        detectFocused(group({group({group({staticText("Credit card")})}), group({focused(securityCode)})})));
    EXPECT_EQ(verdictReason(group({staticText("cvv"), focused(securityCode)})), "card words nearby: cvv");
}

TEST(CodeFieldCardWords, ACodeThatExpiresIsNotACardExpiry)
{
    const QJsonObject field = labelled("Verification code");
    EXPECT_TRUE(detectFocused(
        group({staticText("Enter the code we sent. It expires in 10 minutes."), focused(field)})));
    EXPECT_TRUE(detectFocused(group({staticText("This code has expired? Send a new one."), focused(field)})));
    EXPECT_FALSE(detectFocused(group({staticText("Expiration date"), focused(field)})));
}

TEST(CodeFieldCardWords, CardWordsBeyondThirtyNodesAreUnseen)
{
    QJsonArray children{focused(labelled("Security code"))};
    for (int i = 0; i < 27; ++i)
        children.append(staticText("filler"));
    children.append(staticText("CVV")); // after the two groups, the field and 27 fillers: node 31
    EXPECT_TRUE(detectFocused(group({group(children)})));
    children.removeAt(1); // now node 30
    EXPECT_FALSE(detectFocused(group({group(children)})));
}

QJsonArray boxes(int count, double width, int focusedIndex)
{
    QJsonArray row;
    for (int i = 0; i < count; ++i) {
        QJsonObject box = textField({}, width);
        row.append(i == focusedIndex ? focused(box) : box);
    }
    return row;
}

TEST(CodeFieldSplitBoxes, NarrowRowsOfFourToEightAreCodeBoxes)
{
    for (int index = 0; index < 6; ++index)
        EXPECT_TRUE(detectFocused(group({group(boxes(6, 40, index))}))) << "box " << index;
    EXPECT_TRUE(detectFocused(group({group(boxes(4, 89, 0))})));
    EXPECT_TRUE(detectFocused(group({group(boxes(8, 40, 7))})));
    EXPECT_FALSE(detectFocused(group({group(boxes(3, 40, 0))})));
    EXPECT_FALSE(detectFocused(group({group(boxes(9, 40, 0))})));
    EXPECT_FALSE(detectFocused(group({group(boxes(6, 90, 0))})));
}

TEST(CodeFieldSplitBoxes, AWideSeventhSiblingFollowsTheOtherRules)
{
    QJsonArray row = boxes(6, 40, -1);
    row.append(focused(textField({}, 200)));
    EXPECT_FALSE(detectFocused(group({group(row)})));
    EXPECT_EQ(verdictReason(group({group(row)})), "no code prompt nearby");

    row.prepend(heading("Enter your 6-digit code"));
    EXPECT_TRUE(detectFocused(group({group(row)})));
}

TEST(CodeFieldSplitBoxes, AParentWithHundredsOfChildrenIsNoRow)
{
    QJsonArray row = boxes(6, 40, 0);
    for (int i = 0; i < codeFieldBudget::maxBoxRowChildren; ++i)
        row.append(node("AXGroup"));
    EXPECT_FALSE(detectFocused(group({group(row)})));
}

TEST(CodeFieldShortLabel, ShortLabelsNamingACodeAreEnough)
{
    EXPECT_TRUE(detectFocused(group({focused(labelled("PIN", 800))})));
    EXPECT_TRUE(detectFocused(group({focused(labelled("Your code:", 800))})));
    EXPECT_TRUE(detectFocused(group({focused(labelled("ПИН", 800))})));
    EXPECT_FALSE(detectFocused(group({focused(labelled("Type the code here", 800))})));
    EXPECT_FALSE(detectFocused(group({focused(labelled("Barcode", 800))})));
}

TEST(CodeFieldPagePrompt, AnUnlabelledFieldUnderACodePrompt)
{
    auto page = [](double width, const QString& prompt) {
        return group({heading(prompt), focused(textField({}, width))});
    };
    EXPECT_TRUE(detectFocused(page(300, "Enter the code we sent")));
    EXPECT_TRUE(detectFocused(page(300, "ENTER THE CODE WE SENT")));
    EXPECT_TRUE(detectFocused(page(300, "Введите код из письма")));
    EXPECT_TRUE(detectFocused(page(699, "We sent you a 6-digit code")));
    EXPECT_FALSE(detectFocused(page(700, "Enter the code we sent")));
    EXPECT_EQ(verdictReason(page(700, "Enter the code we sent")), "too wide for a code field");
    EXPECT_FALSE(detectFocused(page(300, "Welcome back")));

    QJsonObject frameless = node("AXTextField");
    EXPECT_FALSE(detectFocused(group({heading("Enter the code we sent"), focused(frameless)})));
}

TEST(CodeFieldPagePrompt, APromoOfferAroundVetoesThePrompt)
{
    EXPECT_FALSE(detectFocused(
        group({heading("Enter the code we sent"), staticText("Got a coupon?"), focused(textField())})));
}

TEST(CodeFieldResult, CarriesThePageHostAndFrame)
{
    auto fake = loadRoot(group(
        {webArea("https://login.example.com/verify?x=1", {group({focused(labelled("One-time code"))})})}));
    const auto field = CodeField::detect(*fake, *fake->focus());
    ASSERT_TRUE(field);
    EXPECT_EQ(field->element, *fake->focus());
    EXPECT_EQ(field->domain, QStringLiteral("login.example.com"));
    EXPECT_EQ(field->frame, (Rect{100, 500, 300, 32}));
}

TEST(CodeFieldResult, NativeFieldsHaveNoDomain)
{
    const auto field = detectFocused(group({focused(labelled("2FA code"))}));
    ASSERT_TRUE(field);
    EXPECT_EQ(field->domain, std::nullopt);
}

} // namespace
} // namespace tessary
