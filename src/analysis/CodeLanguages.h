#pragma once

#include <vector>

namespace tessary {

// The words the code finder reads mail with, one table per language. Adding a language or a word is
// an edit here and nothing else: the finder merges every table and never asks which language a
// message is in (mail mixes them: an English template around a German code, a brand name in Latin
// letters inside Japanese text).
//
// Words are lower-case UTF-8 and match as whole words: "code" is not found in "barcode". A "*" at the
// end lets the word go on (inflections and compounds: "код*" for "кода", "кодом"); a "*" at the
// start lets it be glued to what comes before (Hebrew and Arabic attach "the" and "with" to the
// word). Words in scripts written without spaces (Chinese, Japanese) need no stars: the word itself
// is the boundary there, and so is a neighbouring character of such a script.
struct LanguageWords {
    const char* language; // BCP 47 tag, for people reading the table
    // A code is near: the message must hold one of these before any code is looked for, and each
    // one near a candidate raises its score. The nearest one right before a candidate labels it.
    std::vector<const char*> code;
    // Labels of numbers that are not codes: orders, parcels, bills, customer numbers, phones, money.
    // A number right after one of these, with no code word closer, is skipped; so is a number
    // directly followed by one (a currency after an amount).
    std::vector<const char*> notCode;
    // Marketing: a number near one of these is a discount or a voucher, not a sign-in code.
    std::vector<const char*> promo;
    // What says that a number is the code ("is", "lautet", "est"): a year after a code word and one
    // of these is the code ("Your code is 1987"), where after any other word it is a date.
    std::vector<const char*> linking = {};
    // Where a shop takes codes ("checkout"): discount codes are typed there, and so are a payment's
    // verification codes. Near one of these a code is a discount unless a word beside the bare
    // "code" says what it is for ("verification code") and it is no word like a discount's (SAVE20).
    std::vector<const char*> checkout = {};
};

// Every table: the words shared by all languages first, then the languages.
const std::vector<LanguageWords>& codeLanguages();

// The tables, by the family of scripts they are written in (kept in two files for size).
std::vector<LanguageWords> latinScriptLanguages();
std::vector<LanguageWords> otherScriptLanguages();

} // namespace tessary
