#include "screen/ScreenPattern.h"

#include "screen/ScreenVocabulary.h"

namespace tessary {

std::optional<QString> ScreenPattern::firstMatch(const QString& text) const
{
    std::optional<QString> first;
    m_regex.forEachMatch(text, 0, [&](const RegexMatch& match) {
        if (!first)
            first = text.mid(match.start, match.end - match.start);
    });
    return first;
}

QStringList ScreenPattern::allMatches(const QString& text) const
{
    QStringList matches;
    m_regex.forEachMatch(text, 0, [&](const RegexMatch& match) {
        matches.append(text.mid(match.start, match.end - match.start));
    });
    return matches;
}

namespace {
// A built-in pattern widened by the language tables' column.
QString widened(const char16_t* builtIn, VocabularyColumn column)
{
    return QStringLiteral("(?:%1)|%2").arg(QString::fromUtf16(builtIn), vocabularyAlternation(column));
}
} // namespace

const ScreenPattern& codeKeywordPattern()
{
    static const ScreenPattern pattern(widened(
        uR"(\b(otp|totp|one[- ]?time|passcode|verif\w*|2fa|two[- ]factor|mfa|(security|auth\w*|login|log[- ]?in|sign[- ]?in|confirmation|access|sms|email|mail) ?code|\d[- ]?digit|код подтверждения|проверочн\w* код|одноразов\w*|код из (смс|sms|письма)|код (доступа|входа|авторизации)|bestätigungscode|sicherheitscode|einmalcode|código|verificación|code de (vérification|confirmation|sécurité)|codice|verifica)\b)",
        VocabularyColumn::codeLabels));
    return pattern;
}

const ScreenPattern& shortLabelPattern()
{
    static const ScreenPattern pattern(
        widened(uR"(\b(code|pin|код|пин|pin-код|código|codice)\b)", VocabularyColumn::shortLabels));
    return pattern;
}

const ScreenPattern& pagePromptPattern()
{
    static const ScreenPattern pattern(widened(
        uR"(((verification|security|login|log[- ]?in|sign[- ]?in|confirmation|one[- ]?time|authentication|access|sms|email|2fa) (code|pin|passcode)|enter (the |your |a )?(\d[- ]?digit )?(code|pin)|\b\d[- ]?digit (code|pin)|code (we|was|has been) sent|sent (you )?(a|an|the) (\d[- ]?digit )?(code|pin)|\bpasscode\b|one[- ]?time password|\botp\b|two[- ]factor|\b2fa\b|введите (код|пин)|код (подтверждения|из (смс|sms|письма)|отправлен|был отправлен)|отправили (вам )?(код|письмо с кодом)|одноразов\w* (код|пароль)|проверочн\w* код|\d[- ]?значн\w* код|código (de verificación|enviado)|(ingresa|introduce|escribe) el código|geben sie den code|bestätigungscode|code de vérification|saisissez le code|inserisci il codice))",
        VocabularyColumn::pagePrompts));
    return pattern;
}

const ScreenPattern& excludedFieldPattern()
{
    static const ScreenPattern pattern(widened(
        uR"(\b(zip|postal|promo|coupon|discount|gift|referral|invite|voucher|search|query|filter|country|area|comment|message|reply|chat|subject|title|name|e-?mail address|password|url|link|address|phone|note|description|caption|tag|card|cvc|cvv|expir\w*|amount|price|color|colour|emoji|tweet|post|имя|фамилия|отчество|телефон|адрес|почта|e-?mail|комментари\w*|сообщени\w*|поиск|промокод|купон|скидк\w*|город|страна|индекс|название|описание|пароль|nombre|apellido|teléfono|dirección|correo|vorname|nachname|telefon|adresse|prénom|téléphone|nome|cognome|indirizzo)\b)",
        VocabularyColumn::excluded));
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
    // Only the nouns of a card form ("Expiry", "Expiration date"): code pages routinely say that
    // the code expires, and that must not turn their field away. A code of three digits is the
    // card's own ("3 or 4 digits" in a card field's own frame); no code sent is that short.
    static const ScreenPattern pattern(
        uR"(\b(card number|credit card|debit card|cvc|cvv|cvv2|expiry|expiration|mm ?/ ?yy|billing|3([- ]| ?(or|[-–]) ?4 )digits?)\b)");
    return pattern;
}

const ScreenPattern& maskedCardPattern()
{
    static const ScreenPattern pattern(
        uR"(\b(card number|credit card|debit card|card)\b:?\s*(ending( in)?\s*([*•·x]+[\s-]*)*|([*•·x]{2,}[\s-]*)+)\d{2,4}\b)");
    return pattern;
}

const ScreenPattern& bookingCodePattern()
{
    static const ScreenPattern pattern(
        uR"(\b((confirmation|booking|reservation) (code|number)|(buchungs|reservierungs)(code|nummer)|code de (réservation|confirmation)|numéro de réservation|código de (reserva|confirmación)|localizador)\b)");
    return pattern;
}

const ScreenPattern& bookingLookupPattern()
{
    static const ScreenPattern pattern(
        uR"(\b(last name|surname|family name|(manage|find|retrieve|look up|view|change) (your |my |a )?(booking|reservation|trip|flight)s?|my (bookings|trips|reservations)|record locator|nachname|familienname|(meine|ihre) buchung(en)?|buchung (verwalten|finden|abrufen)|nom de famille|(gérer|retrouver) (ma|votre) réservation|mes réservations|apellidos?|(gestionar|gestiona|consultar|consulta) (tu |su |mi )?reserva|mis reservas)\b)");
    return pattern;
}

const ScreenPattern& authenticatorAppPattern()
{
    static const ScreenPattern pattern(
        uR"(\b(authenticator( app)?|authentication app|authenticator-app|application d'authentification|aplicación de autenticación|app di autenticazione|aplicativo autenticador)\b|認証アプリ|인증 ?앱|身份验证器)");
    return pattern;
}

const ScreenPattern& codeSentPattern()
{
    static const ScreenPattern pattern(
        uR"(\b(sent|texted|e-?mailed|sms|text message|gesendet|geschickt|envoyé|enviado|enviamos|inviato|verstuurd|gestuurd|отправ\w*)\b|送信|发送|보냈)");
    return pattern;
}

const ScreenPattern& contactWordPattern()
{
    static const ScreenPattern pattern(
        uR"(\b(e-?mail address|e-?mail|address|mobile (phone|number)|telephone|phone|mobile|number|message|почт\w*|адрес|телефон\w*|correo|teléfono|dirección|adresse|téléphone|indirizzo|telefon|handynummer)\b)");
    return pattern;
}

const ScreenPattern& linkSentPattern()
{
    static const ScreenPattern pattern(widened(
        uR"((check your (e-?mail|inbox)|we('ve| have)? (just )?(sent|emailed) (you )?(a |an )?(magic |secure |sign[- ]?in |log[- ]?in |login )?link|magic link|link to (sign|log) ?in))",
        VocabularyColumn::linkSent));
    return pattern;
}

const ScreenPattern& confirmPagePattern()
{
    static const ScreenPattern pattern(widened(
        uR"(((confirm|verify|activate) your (e-?mail|account|address)|confirmation (e-?mail|link)|verification (e-?mail|link)|activation link))",
        VocabularyColumn::confirmPage));
    return pattern;
}

} // namespace tessary
