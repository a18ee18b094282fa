#pragma once

#include <QString>

#include <unicode/uversion.h>

#include <memory>
#include <optional>

U_NAMESPACE_BEGIN
class RegexPattern;
U_NAMESPACE_END

namespace tessary {

// One of the screen logic's constant regular expressions: ICU syntax (Unicode-aware `\b`, `\w`,
// `\d`), matched case-insensitively, compiled once. A pattern that does not compile is a
// programming error and stops the program at first use.
class ScreenPattern {
public:
    explicit ScreenPattern(const char16_t* pattern);
    ~ScreenPattern();
    ScreenPattern(const ScreenPattern&) = delete;
    ScreenPattern& operator=(const ScreenPattern&) = delete;

    // Whether the pattern matches anywhere in the text.
    bool matches(const QString& text) const { return firstMatch(text).has_value(); }
    // The first match, for explaining a decision.
    std::optional<QString> firstMatch(const QString& text) const;

private:
    std::unique_ptr<icu::RegexPattern> m_pattern;
};

// Code-field vocabulary (English, Russian, German, Spanish, French, Italian).
const ScreenPattern& codeKeywordPattern();
const ScreenPattern& shortLabelPattern();
const ScreenPattern& pagePromptPattern();
const ScreenPattern& excludedFieldPattern();
const ScreenPattern& promoPattern();
const ScreenPattern& cardPattern();
// Link-page vocabulary.
const ScreenPattern& linkSentPattern();
const ScreenPattern& confirmPagePattern();

} // namespace tessary
