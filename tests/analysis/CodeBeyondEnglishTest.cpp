#include "analysis/CodeExtraction.h"

#include <gtest/gtest.h>

using namespace tessary;

// Each row: subject, body, and the code found, or "none".
TEST(CodeBeyondEnglish, EachMessage)
{
    const struct {
        QString subject;
        QString body;
        QString expected;
    } rows[] = {
        // Every language's code words open the gate.
        {"Anmeldung", "Ihr Bestätigungscode lautet 318274", "318274"},
        {"Connexion", "Votre code de vérification : 529031", "529031"},
        {"Acceso", "Tu código es 736104", "736104"},
        {"Accesso", "Il tuo codice è 281940", "281940"},
        {"Acesso", "Seu código de verificação é 613902", "613902"},
        {"Inloggen", "Je verificatiecode is 492017", "492017"},
        {"Logowanie", "Twój kod weryfikacyjny to 738210", "738210"},
        {"Вход", "Ваш код подтверждения: 529318", "529318"},
        {"Вхід", "Ваш код підтвердження: 318502", "318502"},
        {"Giriş", "Doğrulama kodunuz: 604291", "604291"},
        {"登录", "您的验证码：730215", "730215"},
        {"登入", "您的驗證碼：817302", "817302"},
        {"ログイン", "認証コード：482019", "482019"},
        {"로그인", "인증번호: 482715", "482715"},
        {"Đăng nhập", "Mã xác thực của bạn là 518204", "518204"},
        {"Masuk", "Kode verifikasi Anda adalah 603918", "603918"},
        {"כניסה", "קוד האימות שלך הוא 492018", "492018"},
        {"تسجيل", "رمز التحقق الخاص بك هو 518392", "518392"},
        {"ورود", "کد تأیید شما: 620418", "620418"},
        {"लॉगिन", "आपका सत्यापन कोड 482017 है", "482017"},
        {"Σύνδεση", "Ο κωδικός σας είναι 602918", "602918"},
        {"Kirjautuminen", "Vahvistuskoodisi on 603192", "603192"},
        {"Logga in", "Din verifieringskod är 419302", "419302"},
        {"Inici de sessió", "El teu codi de verificació és 503918", "503918"},
        {"Vkhod", "Vash parol' dlya vkhoda: 58201937", "58201937"},
        {"Dang nhap", "Ma xac nhan cua ban la 604193", "604193"},
        {"Telco", "Your new SIM PIN is 3390", "3390"},
        {"Reset", "Your temporary password: 55123098", "55123098"},
        // Code words match as whole words, except in scripts written without spaces.
        {"Your barcode scanner", "Model 482913 ships today", "none"},
        {"Unicode Essentials", "Pack 583920 is ready", "none"},
        {"Hotpot Express", "Table 4821 is waiting", "none"},
        {"Привет", "Ваш промокод 529318", "none"},
        {"", "您的验证码为482913", "482913"},
        {"", "パスワードは5817です", "5817"},
        // Digits right beside Chinese, Japanese or Korean are candidates.
        {"", "验证码482913，5分钟内有效", "482913"},
        {"", "確認コードは5817です", "5817"},
        {"", "인증번호7310입니다", "7310"},
        {"", "驗證碼：817302", "817302"},
        // Prefixed and mixed-case codes.
        {"G-583920 is your Google verification code", "Don't share it.", "583920"},
        {"", "Your verification code: G-583920", "583920"},
        {"", "Enter this code:\n\n  ab7k2q\n", "ab7k2q"},
        {"", "Tu código es: qx82mT", "qx82mT"},
        {"", "Your code is abc123 today", "abc123"},
        {"Sign in", "Your file abc123 was saved", "none"},
        // Phones, amounts, links and reference numbers are not codes.
        {"Security", "Call us on +49 30 12345678", "none"},
        {"Security", "Questions? Call +1 (415) 555-0132 or 0800 123 4567", "none"},
        {"Confirm your payment", "A payment of € 4820 or 4820 EUR or 4820 ₽ or 1.249,00", "none"},
        {"Confirm", "Open https://shop.example/verify?code=620194&u=88", "none"},
        {"Confirm", "Open https://shop.example/verify?code=620194 or enter 731905", "731905"},
        {"Your order is confirmed", "Order number: 48291375", "none"},
        {"Booking confirmed", "Booking reference: QX7P2L", "none"},
        {"Bestätigung Ihrer Bestellung", "Rechnungsnummer: 2024-1187, Sendungsnummer 88120374", "none"},
        {"Заказ подтверждён", "Заказ № 30491827, трек-номер 80082145", "none"},
        {"验证", "订单号20250314，金额4820元", "none"},
        {"Confirm your order", "Order 48291: your confirmation code is 583920", "583920"},
        {"Security code", "Card **** 3302, 6104****4417 or *4417", "none"},
        {"Card payment", "Transaction code: 58203917", "none"},
        {"Confirm", "Your prize code: 58203917", "none"},
        {"", "验证码：739104，客服95528", "739104"},
        // A heading alone on its line does not beat the announced code.
        {"Confirm your email", "Your code:\n\n905 118\n\nWELCOME\n", "905118"},
        {"Confirm your email", "Your code:\n\nWELCOME\n", "WELCOME"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE((row.subject + " | " + row.body).toStdString());
        const std::optional<ExtractedCode> found = extractCode(row.subject, row.body);
        EXPECT_EQ(found ? found->code : QStringLiteral("none"), row.expected);
    }
}
