#include "analysis/CodeExtraction.h"

#include "analysis/CodeVocabulary.h"
#include "analysis/KeywordIndex.h"
#include "analysis/TextLines.h"

#include <algorithm>

namespace tessary {

namespace {

// A candidate's context is the 160 units around it: 80 before its start and what follows.
constexpr qsizetype contextReach = 80;
constexpr qsizetype contextLength = 160;
constexpr qint64 keywordBonus = 5;
constexpr qint64 promoPenalty = 40;
constexpr qint64 minimumScore = 11;

QStringView scannedPart(const QString& text)
{
    qsizetype length = std::min(text.size(), scannedBodyLimit);
    if (length < text.size() && text.at(length - 1).isHighSurrogate())
        --length; // never cut a character in half
    return QStringView(text).first(length);
}

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

// The digits of a numeric match (the separating space or dash dropped), counted in characters.
struct NumericDigits {
    int count = 0;
    int value = 0;
};

// Calls `visit` with each code point of `text` (\d also matches digits outside the BMP).
template <class Visit>
void forEachCodePoint(QStringView text, Visit visit)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            visit(QChar::surrogateToUcs4(unit, text[i + 1].unicode()));
            ++i;
        } else {
            visit(char32_t(unit));
        }
    }
}

NumericDigits numericDigits(QStringView group)
{
    NumericDigits digits;
    forEachCodePoint(group, [&digits](char32_t c) {
        if (QChar::isDigit(c)) {
            ++digits.count;
            digits.value = digits.value * 10 + QChar::digitValue(c);
        }
    });
    return digits;
}

QString digitsOf(QStringView group)
{
    QString digits;
    forEachCodePoint(group, [&digits](char32_t c) {
        if (QChar::isDigit(c))
            digits.append(QChar::fromUcs4(c));
    });
    return digits;
}

// Stop words are compared with the dashes of a match removed ("SIGN-IN" style words).
bool isStopWord(QStringView raw)
{
    QString compact = raw.toString();
    compact.remove(QLatin1Char('-'));
    return codeStopWords().contains(compact);
}

class Extraction {
public:
    Extraction(const QString& full, const QString& lower, qsizetype subjectLength)
        : m_full(full)
        , m_subjectLength(subjectLength)
        , m_keywords(lower, codeKeywords())
        , m_promos(lower, promoWords())
        , m_lines(full)
    {
    }

    bool speaksOfCodes() const { return m_keywords.anyAnywhere(); }

    void scanNumeric()
    {
        numericCodePattern().forEachMatch(m_full, 1, [this](const RegexMatch& match) {
            const QStringView group =
                QStringView(m_full).sliced(match.groupStart, match.groupEnd - match.groupStart);
            const NumericDigits digits = numericDigits(group);
            if (digits.count < 4 || digits.count > 8)
                return;
            qint64 score = digits.count == 6 ? 20 : 10;
            if (digits.count == 4 && digits.value >= 1900 && digits.value <= 2100)
                score -= 30; // a year, not a code
            if (match.start < m_subjectLength)
                score += 15;
            score += contextScore(match.start);
            if (beatsBest(score))
                m_best = ExtractedCode{digitsOf(group), score};
        });
    }

    void scanAlphanumeric()
    {
        alphanumericCodePattern().forEachMatch(m_full, 1, [this](const RegexMatch& match) {
            const QStringView raw =
                QStringView(m_full).sliced(match.groupStart, match.groupEnd - match.groupStart);
            const bool hasLetter = std::any_of(raw.begin(), raw.end(), [](QChar c) { return c.isLetter(); });
            const bool hasDigit = std::any_of(raw.begin(), raw.end(), [](QChar c) { return c.isDigit(); });
            if (!hasLetter || (!hasDigit && isStopWord(raw))) // stop words are letters only
                return;
            const bool alone = m_lines.lineAt(match.start).trimmed() == raw;
            if (!hasDigit && !alone)
                return; // an upper-case word inside a sentence is shouting, not a code
            const bool inSubject = match.start < m_subjectLength;
            qint64 score = alone ? (inSubject ? 40 : 25) : (inSubject ? 27 : 12);
            score += contextScore(match.start);
            if (beatsBest(score))
                m_best = ExtractedCode{raw.toString(), score};
        });
    }

    std::optional<ExtractedCode> result() const
    {
        if (m_best && m_best->score >= minimumScore)
            return m_best;
        return std::nullopt;
    }

private:
    qint64 contextScore(qsizetype start) const
    {
        const qsizetype begin = std::max<qsizetype>(start - contextReach, 0);
        const qsizetype end = begin + std::min(m_full.size() - begin, contextLength);
        return keywordBonus * m_keywords.countInside(begin, end) -
               (m_promos.anyInside(begin, end) ? promoPenalty : 0);
    }

    // Ties keep the earlier candidate, so a numeric code beats an alphanumeric one of equal score.
    bool beatsBest(qint64 score) const { return !m_best || score > m_best->score; }

    const QString& m_full;
    qsizetype m_subjectLength;
    KeywordIndex m_keywords;
    KeywordIndex m_promos;
    LineLookup m_lines;
    std::optional<ExtractedCode> m_best;
};

} // namespace

std::optional<ExtractedCode> extractCode(const QString& subject, const QString& text)
{
    const QStringView body = scannedPart(text);
    QString full;
    full.reserve(subject.size() + 1 + body.size());
    full.append(subject).append(QLatin1Char('\n')).append(body);
    const QString lower = lowerCaseInPlace(full);
    Extraction extraction(full, lower, subject.size());
    if (!extraction.speaksOfCodes())
        return std::nullopt;
    extraction.scanNumeric();
    extraction.scanAlphanumeric();
    return extraction.result();
}

} // namespace tessary
