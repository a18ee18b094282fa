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

bool isAsciiWordUnit(char16_t u)
{
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || u == u'_' ||
           u == u'-';
}

bool isAsciiDigitOrCapital(char16_t u)
{
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z');
}

// Whether a unit may start a code: what no ASCII letter, digit, "_" or "-" glues to from the left
// (the patterns' look-behind decides the other neighbours).
bool standsFree(const char16_t* units, qsizetype at)
{
    return at == 0 || !isAsciiWordUnit(units[at - 1]);
}

// A digit, or a prefix of one to three capitals and a dash before one ("G-583920").
bool beginsNumber(const char16_t* units, qsizetype size, qsizetype at)
{
    const auto isDigit = [units](qsizetype i) {
        const char16_t u = units[i];
        return (u >= u'0' && u <= u'9') || (u >= 0x80 && (QChar::isHighSurrogate(u) || QChar(u).isDigit()));
    };
    if (isDigit(at))
        return true;
    qsizetype end = at;
    while (end < size && end - at < 3 && units[end] >= u'A' && units[end] <= u'Z')
        ++end;
    return end > at && end + 1 < size && units[end] == u'-' && isDigit(end + 1);
}

// Where the code patterns may begin: the numeric one at a number, the alphanumeric one at three
// capitals or digits in a row at least.
qsizetype nextNumericStart(QStringView text, qsizetype from)
{
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    for (qsizetype at = from; at < size; ++at) {
        const char16_t u = units[at];
        if ((isAsciiDigitOrCapital(u) || u >= 0x80) && standsFree(units, at) && beginsNumber(units, size, at))
            return at;
    }
    return size;
}

qsizetype nextAlphanumericStart(QStringView text, qsizetype from)
{
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    for (qsizetype at = from; at + 2 < size; ++at)
        if (isAsciiDigitOrCapital(units[at]) && isAsciiDigitOrCapital(units[at + 1]) &&
            isAsciiDigitOrCapital(units[at + 2]) && standsFree(units, at))
            return at;
    return size;
}

// "http" and "www", in either case.
qsizetype nextLinkStart(QStringView text, qsizetype from)
{
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    for (qsizetype at = from; at + 1 < size; ++at) {
        const char16_t u = units[at] | 0x20;
        const char16_t next = units[at + 1] | 0x20;
        if ((u == u'h' && next == u't') || (u == u'w' && next == u'w'))
            return at;
    }
    return size;
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

const KeywordSet& codeVocabulary()
{
    static const KeywordSet words({merged(&LanguageWords::code), merged(&LanguageWords::notCode),
                                   merged(&LanguageWords::promo), merged(&LanguageWords::linking),
                                   merged(&LanguageWords::checkout)});
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
                                                 "(?!" TESSARY_NOT_GLUED ")"),
                                  IcuRegex::noOptions, nextNumericStart);
    return pattern;
}

const IcuRegex& alphanumericCodePattern()
{
    static const IcuRegex pattern(QStringLiteral("(?<!" TESSARY_NOT_GLUED ")"
                                                 R"(([A-Z0-9]{3,6}-[A-Z0-9]{3,6}|[A-Z0-9]{4,12}))"
                                                 "(?!" TESSARY_NOT_GLUED ")"),
                                  IcuRegex::multiLine, nextAlphanumericStart);
    return pattern;
}

const IcuRegex& linkPattern()
{
    static const IcuRegex pattern(QStringLiteral(R"((?:https?://|www\.)[^\s<>"']+)"),
                                  IcuRegex::caseInsensitive, nextLinkStart);
    return pattern;
}

#undef TESSARY_NOT_GLUED

} // namespace tessary
