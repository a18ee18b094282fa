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

QJsonArray boxes(int count, double width, int focusedIndex)
{
    QJsonArray row;
    for (int i = 0; i < count; ++i) {
        QJsonObject box = textField({}, width);
        row.append(i == focusedIndex ? focused(box) : box);
    }
    return row;
}

struct Verdict {
    const char* rule;
    QJsonObject root;
    bool accepted;
    QString reason = {}; // checked when given
};

QJsonObject with(QJsonObject attributes, const char* name, const QJsonValue& value)
{
    attributes.insert(name, value);
    return attributes;
}

QJsonObject underPrompt(const QJsonObject& field)
{
    return group({heading("Enter the code we sent"), focused(field)});
}

// Fields as real sites build them: 240 wide, named by their title or showing the shape of a code.
QJsonObject field(QJsonObject attributes, double width = 240)
{
    return focused(textField(std::move(attributes), width));
}
QJsonObject titled(const char* title)
{
    return group({field({{"AXTitle", QString::fromUtf8(title)}})});
}
QJsonObject shaped(const char* placeholder, double width)
{
    return group(
        {heading("Almost there"), field({{"AXPlaceholderValue", QString::fromUtf8(placeholder)}}, width)});
}

// Every rule that accepts or refuses the focused field, with the reason a refusal gives, and each
// way a real site's markup used to hide a code field beside the ordinary fields it must turn away.
// The pages recorded from real browsers hold the rest, each with its reason (RecordedTrees).
TEST(CodeFieldVerdict, EachRule)
{
    const QString sentTo = QStringLiteral("We sent a code to your e-mail address j***@example.com.");
    const QJsonArray classes{"css-1pk7f3i", "TextInput-element", "TextInput-element--large"};
    const auto labelledBox = [] { return group({staticText("Day"), textField({}, 36)}); };
    const QJsonObject code{{"AXPlaceholderValue", "Verification code"}};
    const QJsonObject security = labelled("Security code");
    const auto wide = [](const char* name, const QJsonValue& value) {
        return group({focused(textField({{name, value}}, 800))});
    };
    QJsonArray seventh = boxes(6, 40, -1);
    seventh.append(focused(textField({}, 200)));
    QJsonArray promptedSeventh = seventh;
    promptedSeventh.prepend(heading("Enter your 6-digit code"));
    const QList<Verdict> rows = {
        {"text field", group({focused(textField(code))}), true},
        {"text area", group({focused(withFrame(node("AXTextArea", code), 0, 0, 300, 32))}), false},
        {"button", group({focused(withFrame(node("AXButton", code), 0, 0, 300, 32))}), false},
        {"class names the code", wide("AXDOMClassList", QJsonArray{"form", "otp"}), true},
        {"DOM id names the code", wide("AXDOMIdentifier", "totp"), true},
        {"title element names the code",
         group({withId(staticText("Two-factor code"), "l"),
                focused(textField({{"AXTitleUIElement", QJsonObject{{"ref", "l"}}}}, 800))}),
         true},
        {"German label", wide("AXTitle", "Bestätigungscode"), true},
        {"other label", wide("AXTitle", "Quantity"), false},
        {"twelve characters", group({focused(textField(with(code, "AXValue", "123456789012")))}), true},
        {"thirteen characters", group({focused(textField(with(code, "AXValue", "1234567890123")))}), false,
         "holds 13 or more characters"},
        {"promo label", underPrompt(labelled("Promo code")), false, "label mentions promo"},
        {"gift card label", underPrompt(labelled("Gift card code")), false},
        {"a word containing an excluded one", underPrompt(labelled("Passcode")), true},
        {"no card words", group({staticText("Sign in"), focused(security)}), true},
        {"CVV nearby", group({staticText("cvv"), focused(security)}), false, "card words nearby: cvv"},
        {"expiry nearby", group({staticText("Expiry (MM / YY)"), focused(security)}), false},
        {"card words two levels up",
         group({group({group({staticText("Credit card")})}), group({focused(security)})}), false},
        {"a code that expires",
         group({staticText("Enter the code we sent. It expires in 10 minutes."),
                focused(labelled("Verification code"))}),
         true},
        {"a code that expired",
         group(
             {staticText("This code has expired? Send a new one."), focused(labelled("Verification code"))}),
         true},
        {"expiration date", group({staticText("Expiration date"), focused(labelled("Verification code"))}),
         false},
        {"four wide boxes", group({group(boxes(4, 89, 0))}), true},
        {"eight boxes, last", group({group(boxes(8, 40, 7))}), true},
        {"three boxes", group({group(boxes(3, 40, 0))}), false},
        {"nine boxes", group({group(boxes(9, 40, 0))}), false},
        {"boxes too wide", group({group(boxes(6, 90, 0))}), false},
        {"a wide seventh sibling", group({group(seventh)}), false, "no code prompt nearby"},
        {"a wide seventh sibling under a prompt", group({group(promptedSeventh)}), true},
        {"short label PIN", group({focused(labelled("PIN", 800))}), true},
        {"short label with colon", group({focused(labelled("Your code:", 800))}), true},
        {"short Russian label", group({focused(labelled("ПИН", 800))}), true},
        {"long label", group({focused(labelled("Type the code here", 800))}), false},
        {"barcode", group({focused(labelled("Barcode", 800))}), false},
        {"under an upper-case prompt", group({heading("ENTER THE CODE WE SENT"), focused(textField())}),
         true},
        {"under a Russian prompt", group({heading("Введите код из письма"), focused(textField())}), true},
        {"just narrow enough", group({heading("We sent you a 6-digit code"), focused(textField({}, 699))}),
         true},
        {"too wide under a prompt", underPrompt(textField({}, 700)), false, "too wide for a code field"},
        {"no prompt", group({heading("Welcome back"), focused(textField())}), false},
        {"no frame", underPrompt(node("AXTextField")), false},
        {"promo offer around a prompt",
         group({heading("Enter the code we sent"), staticText("Got a coupon?"), focused(textField())}),
         false},
        {"the field asks for the address",
         group({field({{"AXTitle", "E-mail address"}, {"AXDescription", sentTo}})}), false},
        {"a description naming a voucher",
         group({field({{"AXTitle", "Code"}, {"AXHelp", "Voucher on your card"}})}), false},
        {"de", titled("Bitte geben Sie hier Ihre TAN ein"), true},
        {"zh coupon", titled("优惠码"), false},
        {"generated class names",
         group({field(
             {{"AXTitle", "Enter code"}, {"AXDOMIdentifier", "input-7"}, {"AXDOMClassList", classes}})}),
         true},
        {"four words of the label", group({field({{"AXTitle", "Your code for the door"}})}), false},
        // Four levels up: Firefox's recording of such a page needs only three.
        {"a prompt nested deeper",
         group({nested(2, staticText("Enter the 6-digit code we sent.")), nested(3, field({}))}), true},
        {"zeros on a narrow field", shaped("000000", 150), true},
        {"spaced dots", shaped("• • • • • •", 200), true},
        {"zeros on a wide field", shaped("000000", 320), false},
        {"a sample postcode", shaped("90210", 120), false},
        {"a form of labelled narrow fields",
         group({group({staticText("Month"), field({}, 36)}), labelledBox(), labelledBox(), labelledBox()}),
         false},
    };
    for (const Verdict& row : rows) {
        SCOPED_TRACE(row.rule);
        EXPECT_EQ(detectFocused(row.root).has_value(), row.accepted);
        if (!row.reason.isEmpty()) {
            EXPECT_EQ(verdictReason(row.root), row.reason);
        }
    }
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

TEST(CodeFieldCardWords, CardWordsBeyondSixtyNodesAreUnseen)
{
    QJsonArray children{focused(labelled("Security code"))};
    for (int i = 0; i < 57; ++i)
        children.append(staticText("filler"));
    children.append(staticText("CVV")); // after the two groups, the field and 57 fillers: node 61
    EXPECT_TRUE(detectFocused(group({group(children)})));
    children.removeAt(1); // now node 60
    EXPECT_FALSE(detectFocused(group({group(children)})));
}

TEST(CodeFieldSplitBoxes, AParentWithHundredsOfChildrenIsNoRow)
{
    QJsonArray row = boxes(6, 40, 0);
    for (int i = 0; i < codeFieldBudget::maxBoxRowChildren; ++i)
        row.append(node("AXGroup"));
    EXPECT_FALSE(detectFocused(group({group(row)})));
}

// A field in a frame takes the frame's host, or the page's when the frame has no address of its
// own; a native field has no domain.
TEST(CodeFieldResult, TheDomainIsTheFramesHostElseThePagesAndNoneForANativeField)
{
    const QJsonObject code = field({{"AXTitle", "Verification code"}});
    const std::pair<QJsonObject, std::optional<QString>> rows[] = {
        {group({focused(labelled("2FA code"))}), std::nullopt},
        {webArea("https://shop.example.com/pay", {group({webArea("about:srcdoc", {code})})}),
         "shop.example.com"},
        {webArea("https://shop.example.com/pay", {webArea("https://bank.example.org/acs", {code})}),
         "bank.example.org"}};
    for (const auto& [root, domain] : rows) {
        const auto found = detectFocused(root);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->domain, domain);
    }
}

} // namespace
} // namespace tessary
