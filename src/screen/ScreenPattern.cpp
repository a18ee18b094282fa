#include "screen/ScreenPattern.h"

#include <QtGlobal>

#include <unicode/regex.h>

namespace tessary {

ScreenPattern::ScreenPattern(const char16_t* pattern)
{
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    m_pattern.reset(
        icu::RegexPattern::compile(icu::UnicodeString(pattern), UREGEX_CASE_INSENSITIVE, parseError, status));
    if (U_FAILURE(status) || !m_pattern)
        qFatal("screen pattern does not compile at offset %d: %s", parseError.offset, u_errorName(status));
}

ScreenPattern::~ScreenPattern() = default;

std::optional<QString> ScreenPattern::firstMatch(const QString& text) const
{
    // ICU reads the QString's UTF-16 in place; the alias lives as long as the matcher.
    const icu::UnicodeString input(false, reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(m_pattern->matcher(input, status));
    if (U_FAILURE(status) || !matcher->find(status) || U_FAILURE(status))
        return std::nullopt;
    const int32_t start = matcher->start(status);
    const int32_t end = matcher->end(status);
    if (U_FAILURE(status))
        return std::nullopt;
    return text.mid(start, end - start);
}

const ScreenPattern& codeKeywordPattern()
{
    static const ScreenPattern pattern(
        uR"(\b(otp|totp|one[- ]?time|passcode|verif\w*|2fa|two[- ]factor|mfa|(security|auth\w*|login|log[- ]?in|sign[- ]?in|confirmation|access|sms|email|mail) ?code|\d[- ]?digit|код подтверждения|проверочн\w* код|одноразов\w*|код из (смс|sms|письма)|код (доступа|входа|авторизации)|bestätigungscode|sicherheitscode|einmalcode|código|verificación|code de (vérification|confirmation|sécurité)|codice|verifica)\b)");
    return pattern;
}

const ScreenPattern& shortLabelPattern()
{
    static const ScreenPattern pattern(uR"(\b(code|pin|код|пин|pin-код|código|codice)\b)");
    return pattern;
}

const ScreenPattern& pagePromptPattern()
{
    static const ScreenPattern pattern(
        uR"(((verification|security|login|log[- ]?in|sign[- ]?in|confirmation|one[- ]?time|authentication|access|sms|email|2fa) (code|pin|passcode)|enter (the |your |a )?(\d[- ]?digit )?(code|pin)|\b\d[- ]?digit (code|pin)|code (we|was|has been) sent|sent (you )?(a|an|the) (\d[- ]?digit )?(code|pin)|\bpasscode\b|one[- ]?time password|\botp\b|two[- ]factor|\b2fa\b|введите (код|пин)|код (подтверждения|из (смс|sms|письма)|отправлен|был отправлен)|отправили (вам )?(код|письмо с кодом)|одноразов\w* (код|пароль)|проверочн\w* код|\d[- ]?значн\w* код|código (de verificación|enviado)|(ingresa|introduce|escribe) el código|geben sie den code|bestätigungscode|code de vérification|saisissez le code|inserisci il codice))");
    return pattern;
}

const ScreenPattern& excludedFieldPattern()
{
    static const ScreenPattern pattern(
        uR"(\b(zip|postal|promo|coupon|discount|gift|referral|invite|voucher|search|query|filter|country|area|comment|message|reply|chat|subject|title|name|e-?mail address|password|url|link|address|phone|note|description|caption|tag|card|cvc|cvv|expir\w*|amount|price|color|colour|emoji|tweet|post|имя|фамилия|отчество|телефон|адрес|почта|e-?mail|комментари\w*|сообщени\w*|поиск|промокод|купон|скидк\w*|город|страна|индекс|название|описание|пароль|nombre|apellido|teléfono|dirección|correo|vorname|nachname|telefon|adresse|prénom|téléphone|nome|cognome|indirizzo)\b)");
    return pattern;
}

const ScreenPattern& promoPattern()
{
    static const ScreenPattern pattern(
        uR"(\b(promo|coupon|discount|voucher|gift card|промокод|купон|скидк\w*)\b)");
    return pattern;
}

const ScreenPattern& cardPattern()
{
    static const ScreenPattern pattern(
        uR"(\b(card number|credit card|debit card|cvc|cvv|cvv2|expir\w*|mm ?/ ?yy|billing)\b)");
    return pattern;
}

const ScreenPattern& linkSentPattern()
{
    static const ScreenPattern pattern(
        uR"((check your (e-?mail|inbox)|we('ve| have)? (just )?(sent|emailed) (you )?(a |an )?(magic |secure |sign[- ]?in |log[- ]?in |login )?link|magic link|link to (sign|log) ?in))");
    return pattern;
}

const ScreenPattern& confirmPagePattern()
{
    static const ScreenPattern pattern(
        uR"(((confirm|verify|activate) your (e-?mail|account|address)|confirmation (e-?mail|link)|verification (e-?mail|link)|activation link))");
    return pattern;
}

} // namespace tessary
