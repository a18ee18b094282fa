#pragma once

#include <QString>

namespace tessary {

// The digits of a numeric match (the separating space or dash dropped), counted in characters.
struct NumericDigits {
    int count = 0;
    qint64 value = 0;
};

NumericDigits numericDigits(QStringView group);
// The digits of a match, as typed: in ASCII, separators and a letter prefix dropped.
QString digitsOf(QStringView group);

// Whether the digits at [start, end) of `text` are a piece of a longer number rather than a number
// of their own: a group of a phone number ("+49 30 1234 5678", "(415) 555-0199"), part of an amount
// or a date ("1.234,56", "12.03.2025"), money beside a currency sign ("€ 4820", "4820 ₽"), or the
// shown digits of a masked card number ("6104****4417", "*4417", "•••• 4417", "...4417").
bool isPartOfALongerNumber(QStringView text, qsizetype start, qsizetype end);

// Whether the digits at [start, end) of `text` are the postal code of an address: five digits after a
// US state ("Cupertino, CA 95014"), or four or five after a comma and before the town ("Hauptstraße
// 12, 10115 Berlin", "· 75002 PARIS"). Footers carry one in nearly every mail.
bool isPostalCode(QStringView text, qsizetype start, qsizetype end);

// Whether `c` may stand between groups of digits: a plain, no-break or narrow no-break space.
bool isDigitGroupSpace(QChar c);

} // namespace tessary
