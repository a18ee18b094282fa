// Code fields and link pages as real sites build them: each block of rows is one way a page's
// markup used to hide a code field, beside the ordinary fields that must stay turned away.

#include "screen/CodeField.h"
#include "screen/FieldClassification.h"
#include "screen/LinkPage.h"
#include "screen/TreeBuilder.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

using namespace test::tree;

QJsonObject field(QJsonObject attributes, double width = 240)
{
    return focused(textField(std::move(attributes), width));
}
QJsonObject titled(const char* title)
{
    return group({field({{"AXTitle", QString::fromUtf8(title)}})});
}
QJsonObject prompted(const char* prompt)
{
    return group({staticText(QString::fromUtf8(prompt)), field({})});
}
QJsonObject shaped(const char* placeholder, double width)
{
    return group(
        {heading("Almost there"), field({{"AXPlaceholderValue", QString::fromUtf8(placeholder)}}, width)});
}

TEST(SiteFieldRules, WhatRealPagesShowDecides)
{
    const QString sentTo = QStringLiteral("We sent a code to your e-mail address j***@example.com.");
    const QJsonArray classes{"css-1pk7f3i", "TextInput-element", "TextInput-element--large"};
    const auto three = [](bool first) {
        return group({first ? field({}, 36) : textField({}, 36), textField({}, 36), textField({}, 36)});
    };
    const auto labelledBox = [] { return group({staticText("Day"), textField({}, 36)}); };
    const struct {
        const char* what;
        QJsonObject root;
        bool code;
    } rows[] = {
        {"a description says where the code went",
         group({field({{"AXTitle", "One-time passcode"}, {"AXDescription", sentTo}})}), true},
        {"the field asks for the address",
         group({field({{"AXTitle", "E-mail address"}, {"AXDescription", sentTo}})}), false},
        {"a description naming a voucher",
         group({field({{"AXTitle", "Code"}, {"AXHelp", "Voucher on your card"}})}), false},
        {"de", titled("Bitte geben Sie hier Ihre TAN ein"), true},
        {"fr", titled("Code reçu par SMS"), true},
        {"pl", titled("Kod weryfikacyjny"), true},
        {"tr", titled("Doğrulama kodu"), true},
        {"zh", titled("请输入短信验证码"), true},
        {"ja", titled("確認コード"), true},
        {"ko", titled("인증번호를 입력하세요"), true},
        {"he", titled("קוד אימות"), true},
        {"ar", titled("رمز التحقق"), true},
        {"hi", titled("सत्यापन कोड"), true},
        {"sv", titled("Engångskod"), true},
        {"pl discount", titled("Kod rabatowy"), false},
        {"tr discount", titled("İndirim kodu"), false},
        {"zh coupon", titled("优惠码"), false},
        {"ja search", titled("銘柄コードで検索"), false},
        {"de prompt", prompted("Geben Sie den 6-stelligen Code ein, den wir gesendet haben."), true},
        {"es prompt", prompted("Ingrese el código que le enviamos por SMS."), true},
        {"nl prompt", prompted("Vul de code in die we naar je telefoon hebben gestuurd."), true},
        {"uk prompt", prompted("Введіть код із SMS."), true},
        {"en prompt", prompted("We've sent a 6-character code to j@example.com."), true},
        {"generated class names",
         group({field(
             {{"AXTitle", "Enter code"}, {"AXDOMIdentifier", "input-7"}, {"AXDOMClassList", classes}})}),
         true},
        {"four words of the label", group({field({{"AXTitle", "Your code for the door"}})}), false},
        {"a prompt nested deeper",
         group({nested(2, staticText("Enter the 6-digit code we sent.")), nested(3, field({}))}), true},
        {"zeros on a narrow field", shaped("000000", 150), true},
        {"spaced dots", shaped("• • • • • •", 200), true},
        {"zeros on a wide field", shaped("000000", 320), false},
        {"a sample postcode", shaped("90210", 120), false},
        {"three, a dash, three", group({three(true), staticText("–"), three(false)}), true},
        {"three boxes alone", group({three(true)}), false},
        {"a form of labelled narrow fields",
         group({group({staticText("Month"), field({}, 36)}), labelledBox(), labelledBox(), labelledBox()}),
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto fake = loadRoot(row.root);
        const FieldVerdict verdict = classifyField(*fake, *fake->focus());
        EXPECT_EQ(verdict.accepted, row.code) << verdict.reason.toStdString();
    }
}

TEST(SiteFieldRules, AFrameWithoutAnAddressTakesThePagesHost)
{
    const QJsonObject challenge = webArea("about:srcdoc", {field({{"AXTitle", "Verification code"}})});
    auto fake = loadRoot(webArea("https://shop.example.com/pay", {group({challenge})}));
    EXPECT_EQ(CodeField::detect(*fake, *fake->focus())->domain, QStringLiteral("shop.example.com"));
    const QJsonObject own =
        webArea("https://bank.example.org/acs", {field({{"AXTitle", "Verification code"}})});
    fake = loadRoot(webArea("https://shop.example.com/pay", {own}));
    EXPECT_EQ(CodeField::detect(*fake, *fake->focus())->domain, QStringLiteral("bank.example.org"));
}

std::optional<LinkPage> linkPageOf(QJsonArray page)
{
    QJsonObject window = group({webArea("https://app.example.com/", std::move(page))});
    window.insert("window", true);
    auto fake = load(file(node("AXApplication", {}, {window}), "firefox-esr"));
    return LinkPage::detect(*fake);
}

TEST(LinkPageWaiting, OnlyPagesThatWaitForTheLink)
{
    EXPECT_EQ(linkPageOf({heading("Prüfen Sie Ihren Posteingang")})->kind, FoundLink::Kind::signIn);
    EXPECT_EQ(linkPageOf({heading("Confirma tu dirección de correo electrónico")})->kind,
              FoundLink::Kind::confirm);
    // A chat log that mentions the e-mail; a form asking for the address again while it is typed.
    const QJsonObject chat = node("AXList", {}, {staticText("Did you get the confirmation email?")});
    EXPECT_FALSE(linkPageOf({heading("Support"), chat}));
    const QJsonObject retype = staticText("Confirm your email address");
    EXPECT_FALSE(linkPageOf({retype, field({{"AXTitle", "Email again"}})}));
    EXPECT_TRUE(linkPageOf({retype, textField({{"AXTitle", "Email"}})}));
}

} // namespace
} // namespace tessary
