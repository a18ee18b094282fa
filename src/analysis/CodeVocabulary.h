#pragma once

#include "analysis/IcuRegex.h"

#include <QSet>
#include <QStringList>

namespace tessary {

// The words and patterns the code finder reads mail with. Built once on first use, never changed.
// Words are lower-case and matched as plain substrings of lower-cased text unless said otherwise.

// At least one must appear in a message before any code is looked for; each one near a candidate
// raises its score.
const QStringList& codeKeywords();
// Marketing words: a number near them is a discount or a voucher, not a sign-in code.
const QStringList& promoWords();
// Upper-case words that look like alphanumeric codes in a mail but never are (compared exactly).
const QSet<QString>& codeStopWords();

// Four to eight digits, or two groups of three or four joined by a space or a dash, standing alone.
const IcuRegex& numericCodePattern();
// Upper-case letters and digits, 4-12 long or two groups of 3-6 joined by a dash, standing alone.
// Case-sensitive on purpose: lower-case words are prose, not codes.
const IcuRegex& alphanumericCodePattern();

} // namespace tessary
