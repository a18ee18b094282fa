#pragma once

#include <QString>

#include <span>

namespace tessary {

// The words, beyond the six built-in languages' patterns, with which pages ask for a code, turn a
// field into something else, or wait for an e-mailed link: one row per language, each column an
// ICU alternation matched case-insensitively. Rows of scripts written without spaces between
// words (Chinese, Japanese) or with words grown by prefixes and particles (Korean, Hebrew, Arabic,
// Persian, Hindi) are matched anywhere; the others as whole words.
struct LanguageVocabulary {
    const char* language;        // BCP 47
    bool wholeWords;             // match between word boundaries
    const char16_t* codeLabels;  // a field label that names a one-time code
    const char16_t* shortLabels; // a word that names a code or PIN in a label of at most three words
    const char16_t* pagePrompts; // text near a field that asks for a code
    const char16_t* excluded;    // a field for something else: discounts, vouchers, search, postcodes
    const char16_t* linkSent;    // a page that says a sign-in link was e-mailed
    const char16_t* confirmPage; // a page that asks to confirm the e-mail address
};

std::span<const LanguageVocabulary> languageVocabularies();

enum class VocabularyColumn { codeLabels, shortLabels, pagePrompts, excluded, linkSent, confirmPage };
// One alternation of every language's entries of that column, ready to be OR-ed into a pattern.
QString vocabularyAlternation(VocabularyColumn column);

} // namespace tessary
