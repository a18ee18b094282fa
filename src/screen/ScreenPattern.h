#pragma once

#include "analysis/IcuRegex.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tessary {

// One of the screen logic's constant regular expressions: ICU syntax (Unicode-aware `\b`, `\w`,
// `\d`), matched case-insensitively, compiled once on first use.
class ScreenPattern {
public:
    explicit ScreenPattern(const char16_t* pattern)
        : m_regex(QString::fromUtf16(pattern), IcuRegex::caseInsensitive)
    {
    }
    explicit ScreenPattern(const QString& pattern)
        : m_regex(pattern, IcuRegex::caseInsensitive)
    {
    }

    // Whether the pattern matches anywhere in the text.
    bool matches(const QString& text) const { return firstMatch(text).has_value(); }
    // The first match, for explaining a decision.
    std::optional<QString> firstMatch(const QString& text) const;
    QStringList allMatches(const QString& text) const;

private:
    IcuRegex m_regex;
};

// Code-field vocabulary: the built-in English, Russian, German, Spanish, French and Italian
// patterns, each widened by its column of the language tables (ScreenVocabulary).
const ScreenPattern& codeKeywordPattern();
const ScreenPattern& shortLabelPattern();
const ScreenPattern& pagePromptPattern();
const ScreenPattern& excludedFieldPattern();
const ScreenPattern& promoPattern();
const ScreenPattern& cardPattern();
// A card named by the end of its number ("Card number: **** 1234", "card ending in 1234"): a
// page that checks a payment names the card it checks, which is no card form.
const ScreenPattern& maskedCardPattern();
// A code that names a booking ("Confirmation code", "Reservation code"), and the words of a form
// that looks a booking up: the traveller's last name, "Manage your trip".
const ScreenPattern& bookingCodePattern();
const ScreenPattern& bookingLookupPattern();
// An app that makes codes on the user's own device ("your authenticator app"), and the words with
// which a page says it sent a code instead.
const ScreenPattern& authenticatorAppPattern();
const ScreenPattern& codeSentPattern();
// Where a code was sent ("e-mail address", "phone"): in a sentence describing a field these words
// say where the code went, not what the field asks for.
const ScreenPattern& contactWordPattern();

// Link-page vocabulary.
const ScreenPattern& linkSentPattern();
const ScreenPattern& confirmPagePattern();

} // namespace tessary
