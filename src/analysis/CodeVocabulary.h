#pragma once

#include "analysis/IcuRegex.h"
#include "analysis/KeywordIndex.h"

#include <QSet>

namespace tessary {

// The words and patterns the code finder reads mail with. Built once on first use, never changed.
// The words come from the per-language tables of CodeLanguages and match as whole words of the
// lower-cased text.

// The kinds of words of codeVocabulary(), in its order.
enum CodeWordKind {
    // At least one must appear in a message before any code is looked for; each one near a
    // candidate raises its score, and one right before a candidate labels it as the code.
    codeWord,
    // Labels of numbers that are not codes (orders, parcels, bills, phones, money).
    notCodeWord,
    // Marketing words: a number near them is a discount or a voucher, not a sign-in code.
    promoWord,
    // Between a code word and a number, what says that the number is the code.
    linkingWord,
    // Where a shop takes codes: a discount's or a payment's, as the words around tell.
    checkoutWord,
};
const KeywordSet& codeVocabulary();
// Upper-case words that look like alphanumeric codes in a mail but never are (compared exactly).
const QSet<QString>& codeStopWords();

// Four to ten digits (nine and ten only where a code word announces them), or two groups of three or
// four joined by a space or a dash, standing alone;
// an upper-case prefix and a dash ("G-") may stand before them and is not part of the code. Chinese,
// Japanese and Korean letters do not count as "around": those languages glue numbers to words.
const IcuRegex& numericCodePattern();
// Upper-case letters and digits, 4-12 long or two groups of 3-6 joined by a dash, standing alone.
const IcuRegex& alphanumericCodePattern();
// Web addresses written out in a mail: the numbers inside them are ids, not codes.
const IcuRegex& linkPattern();

} // namespace tessary
