#include "analysis/CodeVocabulary.h"

namespace tessary {

const QStringList& codeKeywords()
{
    static const QStringList words = {
        QStringLiteral("code"),     QStringLiteral("verification"), QStringLiteral("verify"),
        QStringLiteral("otp"),      QStringLiteral("one-time"),     QStringLiteral("one time"),
        QStringLiteral("passcode"), QStringLiteral("sign in"),      QStringLiteral("sign-in"),
        QStringLiteral("log in"),   QStringLiteral("login"),        QStringLiteral("confirm"),
        QStringLiteral("security"), QStringLiteral("authenticat"),
    };
    return words;
}

const QStringList& promoWords()
{
    static const QStringList words = {
        QStringLiteral("checkout"), QStringLiteral("promo"),     QStringLiteral("coupon"),
        QStringLiteral("discount"), QStringLiteral("% off"),     QStringLiteral("voucher"),
        QStringLiteral("referral"), QStringLiteral("gift card"),
    };
    return words;
}

const QSet<QString>& codeStopWords()
{
    static const QSet<QString> words = {
        QStringLiteral("HTTPS"), QStringLiteral("HTTP"),        QStringLiteral("HTML"),
        QStringLiteral("LOGIN"), QStringLiteral("SIGNIN"),      QStringLiteral("VERIFY"),
        QStringLiteral("CODE"),  QStringLiteral("OTP"),         QStringLiteral("IMPORTANT"),
        QStringLiteral("NOTE"),  QStringLiteral("HELLO"),       QStringLiteral("THANKS"),
        QStringLiteral("TEAM"),  QStringLiteral("SUPPORT"),     QStringLiteral("PRIVACY"),
        QStringLiteral("TERMS"), QStringLiteral("UNSUBSCRIBE"),
    };
    return words;
}

const IcuRegex& numericCodePattern()
{
    static const IcuRegex pattern(QStringLiteral(R"((?<![\w-])(\d{3,4}[ -]\d{3,4}|\d{4,8})(?![\w-]))"));
    return pattern;
}

const IcuRegex& alphanumericCodePattern()
{
    static const IcuRegex pattern(
        QStringLiteral(R"((?<![\w-])([A-Z0-9]{3,6}-[A-Z0-9]{3,6}|[A-Z0-9]{4,12})(?![\w-]))"),
        IcuRegex::multiLine);
    return pattern;
}

} // namespace tessary
