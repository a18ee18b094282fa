#include "analysis/CodeVocabulary.h"

#include "analysis/CodeLanguages.h"

namespace tessary {

namespace {

QStringList merged(std::vector<const char*> LanguageWords::*list)
{
    QStringList words;
    for (const LanguageWords& language : codeLanguages())
        for (const char* word : language.*list)
            words.append(QString::fromUtf8(word));
    return words;
}

// Letters, digits and the dash keep a code from standing alone, except letters of the languages
// that write numbers straight after their words ("验证码123456", "인증번호7310입니다").
#define TESSARY_NOT_GLUED                                                                                    \
    "[[\\w-]--[\\p{Script=Han}\\p{Script=Hiragana}\\p{Script=Katakana}\\p{Script=Hangul}\\u30FC]]"

} // namespace

const std::vector<LanguageWords>& codeLanguages()
{
    static const std::vector<LanguageWords> languages = [] {
        std::vector<LanguageWords> all = latinScriptLanguages();
        for (LanguageWords& language : otherScriptLanguages())
            all.push_back(std::move(language));
        return all;
    }();
    return languages;
}

const KeywordSet& codeWords()
{
    static const KeywordSet words(merged(&LanguageWords::code));
    return words;
}

const KeywordSet& notCodeWords()
{
    static const KeywordSet words(merged(&LanguageWords::notCode));
    return words;
}

const KeywordSet& promoWords()
{
    static const KeywordSet words(merged(&LanguageWords::promo));
    return words;
}

// The last words, from ALERT on, are shouting that follows a code word in a sentence ("Sign in NOW",
// "code EXPIRES").
const QSet<QString>& codeStopWords()
{
    static const QSet<QString> words = {
        QStringLiteral("HTTPS"),   QStringLiteral("HTTP"),        QStringLiteral("HTML"),
        QStringLiteral("LOGIN"),   QStringLiteral("SIGNIN"),      QStringLiteral("VERIFY"),
        QStringLiteral("CODE"),    QStringLiteral("OTP"),         QStringLiteral("IMPORTANT"),
        QStringLiteral("NOTE"),    QStringLiteral("HELLO"),       QStringLiteral("THANKS"),
        QStringLiteral("TEAM"),    QStringLiteral("SUPPORT"),     QStringLiteral("PRIVACY"),
        QStringLiteral("TERMS"),   QStringLiteral("UNSUBSCRIBE"), QStringLiteral("ALERT"),
        QStringLiteral("NOW"),     QStringLiteral("HERE"),        QStringLiteral("IMMEDIATELY"),
        QStringLiteral("URGENT"),  QStringLiteral("TODAY"),       QStringLiteral("ONLY"),
        QStringLiteral("FREE"),    QStringLiteral("NOT"),         QStringLiteral("REQUIRED"),
        QStringLiteral("ACCOUNT"), QStringLiteral("PASSWORD"),    QStringLiteral("EMAIL"),
        QStringLiteral("BELOW"),   QStringLiteral("EXPIRES"),     QStringLiteral("VALID"),
    };
    return words;
}

const IcuRegex& numericCodePattern()
{
    static const IcuRegex pattern(QStringLiteral("(?<!" TESSARY_NOT_GLUED ")(?:[A-Z]{1,3}-)?"
                                                 R"((\d{3,4}[ -]\d{3,4}|\d{4,10}))"
                                                 "(?!" TESSARY_NOT_GLUED ")"));
    return pattern;
}

const IcuRegex& alphanumericCodePattern()
{
    static const IcuRegex pattern(QStringLiteral("(?<!" TESSARY_NOT_GLUED ")"
                                                 R"(([A-Z0-9]{3,6}-[A-Z0-9]{3,6}|[A-Z0-9]{4,12}))"
                                                 "(?!" TESSARY_NOT_GLUED ")"),
                                  IcuRegex::multiLine);
    return pattern;
}

const IcuRegex& linkPattern()
{
    static const IcuRegex pattern(QStringLiteral(R"((?:https?://|www\.)[^\s<>"']+)"),
                                  IcuRegex::caseInsensitive);
    return pattern;
}

#undef TESSARY_NOT_GLUED

} // namespace tessary
