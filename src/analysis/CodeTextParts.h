#pragma once

#include "analysis/CodeExtraction.h"
#include "analysis/TextLines.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <utility>
#include <vector>

namespace tessary {

// How the code finder reads the text around a candidate: its line, the links, the characters that
// make up a code, a template's placeholder, and what a mail says of itself (the code its last line
// states for a site, where a reply's copy of the earlier mail begins).

// The line holding a position. Matches arrive in text order and never span lines, so the last line
// found is kept: a long line with many candidates is measured once, not once per candidate.
class LineLookup {
public:
    explicit LineLookup(QStringView text)
        : m_text(text)
    {
    }
    QStringView lineAt(qsizetype position)
    {
        if (position < m_start || position >= m_end) {
            m_start = lineStart(m_text, position);
            m_end = lineEnd(m_text, position);
        }
        return m_text.sliced(m_start, m_end - m_start);
    }

private:
    QStringView m_text;
    qsizetype m_start = 0;
    qsizetype m_end = 0;
};

// The web addresses of a text, in order, as [start, end) spans.
std::vector<std::pair<qsizetype, qsizetype>> linkSpans(const QString& text);

// The characters codes are made of: the patterns match ASCII letters and any script's digits.
bool isAsciiLetterOrDigit(QChar c);
bool isAsciiDigit(QChar c);
bool isUpperOrDigit(QChar c);
bool hasDigit(QStringView text);

// "1 2 3 4 5", a digit a line: a scale or a numbered list set out, not a code.
bool countsUp(QStringView digits);

// "[CODE]", "[FIRST NAME]", "[XXXXXX]", "[000000]": a template's stand-in, left unfilled. Real codes
// in brackets carry digits and are no run of one character.
bool isPlaceholder(QStringView text, qsizetype start, qsizetype end);

// What keeps a code from standing alone, as in the patterns: letters, digits, "_" and "-", except
// the letters of languages that glue numbers to words.
bool gluesToCode(QChar c);

// Stop words are compared with the dashes of a match removed ("SIGN-IN" style words).
bool isStopWord(QStringView raw);

// "@example.com #482913" or "@example.com #482913 @pay.example" ending the last line of `text`,
// at the start of the line or after a space: the host and the code, or none. The host must be a
// domain and the code hold a digit: "Follow us @acme #deals" ends many a mail too.
std::optional<ExtractedCode> originBoundCode(QStringView text);

// Where a reply's copy of the earlier mail begins: the line below a separator of five dashes each
// side, as Outlook writes it in every language ("-----Original Message-----", "-----Ursprüngliche
// Nachricht-----"), or the end of the text. A forward's longer dashes ("---------- Forwarded
// message ---------") hand a code on and stay read, and so does a PGP-signed mail ("-----BEGIN PGP
// SIGNED MESSAGE-----").
qsizetype earlierMessageStart(QStringView text, qsizetype from);

} // namespace tessary
