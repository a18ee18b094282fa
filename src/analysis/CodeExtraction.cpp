#include "analysis/CodeExtraction.h"

#include "analysis/CodeVocabulary.h"
#include "analysis/KeywordIndex.h"
#include "analysis/NumberShape.h"
#include "analysis/TextLines.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tessary {

namespace {

// A candidate's context is the 160 units around it: 80 before its start and what follows.
constexpr qsizetype contextReach = 80;
constexpr qsizetype contextLength = 160;
constexpr qint64 keywordBonus = 5;
constexpr qint64 promoPenalty = 40;
constexpr qint64 minimumScore = 11;
// "Your code is: ", "código:\n\n", "验证码为": what may stand between a code word and the code it
// announces. Longer gaps are sentences, and the word no longer labels the candidate.
constexpr qsizetype labelGap = 12;
constexpr int linkingWordLength = 6;
// "Order number: ", "Numéro de suivi : ": how far a not-a-code label reaches to the number it names.
constexpr qsizetype notCodeReach = 24;

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

// The web addresses of a text, in order, as [start, end) spans.
std::vector<std::pair<qsizetype, qsizetype>> linkSpans(const QString& text)
{
    std::vector<std::pair<qsizetype, qsizetype>> spans;
    linkPattern().forEachMatch(
        text, 0, [&spans](const RegexMatch& match) { spans.emplace_back(match.start, match.end); });
    return spans;
}

bool isAsciiLetterOrDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

// What keeps a code from standing alone, as in the patterns: letters, digits, "_" and "-", except
// the letters of languages that glue numbers to words.
bool gluesToCode(QChar c)
{
    if (c == QLatin1Char('-') || c == QLatin1Char('_') || c.isDigit())
        return true;
    if (!c.isLetter() && !c.isMark())
        return false;
    const QChar::Script script = c.script();
    return script != QChar::Script_Han && script != QChar::Script_Hiragana &&
           script != QChar::Script_Katakana && script != QChar::Script_Hangul && c.unicode() != 0x30FC;
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
        , m_keywords(lower, codeWords())
        , m_labels(lower, notCodeWords())
        , m_promos(lower, promoWords())
        , m_lines(full)
        , m_links(linkSpans(full))
    {
    }

    bool speaksOfCodes() const { return m_keywords.anyAnywhere(); }

    void scanNumeric()
    {
        numericCodePattern().forEachMatch(m_full, 1, [this](const RegexMatch& match) {
            const QStringView group = textOf(match.groupStart, match.groupEnd);
            const NumericDigits digits = numericDigits(group);
            if (digits.count < 4 || digits.count > 8 ||
                isPartOfALongerNumber(m_full, match.start, match.end) ||
                isNamedOtherwise(match.start, match.end))
                return;
            qint64 score = digits.count == 6 ? 20 : 10;
            if (digits.count == 4 && digits.value >= 1900 && digits.value <= 2100)
                score -= 30; // a year, not a code
            if (match.start < m_subjectLength)
                score += 15;
            score += contextScore(match.start);
            offer(digitsOf(group), score);
        });
    }

    void scanAlphanumeric()
    {
        alphanumericCodePattern().forEachMatch(m_full, 1, [this](const RegexMatch& match) {
            const QStringView raw = textOf(match.groupStart, match.groupEnd);
            const bool hasLetter = std::any_of(raw.begin(), raw.end(), [](QChar c) { return c.isLetter(); });
            const bool hasDigit = std::any_of(raw.begin(), raw.end(), [](QChar c) { return c.isDigit(); });
            if (!hasLetter || (!hasDigit && isStopWord(raw)) || isNamedOtherwise(match.start, match.end))
                return;
            const bool alone = m_lines.lineAt(match.start).trimmed() == raw;
            const bool inSubject = match.start < m_subjectLength;
            if (!hasDigit && !alone)
                return; // an upper-case word inside a sentence is shouting, not a code
            if (!hasDigit && !inSubject && !isAnnounced(match.start))
                return; // a heading ("WELCOME") on its own line, unless a code word introduces it
            offerLetters(raw, match.start, alone);
        });
    }

    // Lower- and mixed-case codes ("ab7k2q") are prose-like, so they count only right after a
    // code word: only the few units after each code word are read, not the whole text.
    void scanMixedCase()
    {
        const qsizetype size = m_full.size();
        qsizetype at = 0;
        for (qsizetype wordEnd : m_keywords.ends()) {
            at = std::max(at, wordEnd);
            const qsizetype limit = std::min(size, wordEnd + labelGap + 1);
            while (at < limit) {
                if (!isAsciiLetterOrDigit(m_full[at]) || (at > 0 && gluesToCode(m_full[at - 1]))) {
                    ++at;
                    continue;
                }
                qsizetype end = at;
                while (end < size && isAsciiLetterOrDigit(m_full[end]))
                    ++end;
                if (end == size || !gluesToCode(m_full[end]))
                    offerMixedCase(at, end);
                at = end;
            }
        }
    }

    std::optional<ExtractedCode> result() const
    {
        if (m_best && m_best->score >= minimumScore)
            return m_best;
        return std::nullopt;
    }

private:
    QStringView textOf(qsizetype start, qsizetype end) const
    {
        return QStringView(m_full).sliced(start, end - start);
    }

    void offerMixedCase(qsizetype start, qsizetype end)
    {
        const QStringView raw = textOf(start, end);
        const bool hasDigit = std::any_of(raw.begin(), raw.end(), [](QChar c) { return c.isDigit(); });
        const bool hasLower = std::any_of(raw.begin(), raw.end(), [](QChar c) { return c.isLower(); });
        if (raw.size() < 4 || raw.size() > 12 || !hasDigit || !hasLower)
            return; // upper-case and digit-only codes are the other passes' work
        if (isAnnounced(start) && !isNamedOtherwise(start, end))
            offerLetters(raw, start, m_lines.lineAt(start).trimmed() == raw);
    }

    void offerLetters(QStringView raw, qsizetype start, bool alone)
    {
        const bool inSubject = start < m_subjectLength;
        const qint64 score = (alone ? (inSubject ? 40 : 25) : (inSubject ? 27 : 12)) + contextScore(start);
        offer(raw.toString(), score);
    }

    qint64 contextScore(qsizetype start) const
    {
        const qsizetype begin = std::max<qsizetype>(start - contextReach, 0);
        const qsizetype end = begin + std::min(m_full.size() - begin, contextLength);
        return keywordBonus * m_keywords.countInside(begin, end) -
               (m_promos.anyInside(begin, end) ? promoPenalty : 0);
    }

    // A code word stands right before `start`: between them at most punctuation, line breaks and
    // one short linking word ("is", "lautet", "est").
    bool isAnnounced(qsizetype start) const
    {
        const qsizetype wordEnd = m_keywords.lastEndBefore(start);
        if (wordEnd < 0 || start - wordEnd > labelGap)
            return false;
        int words = 0;
        int letters = 0;
        bool inWord = false;
        for (QChar c : textOf(wordEnd, start)) {
            if (c.isDigit())
                return false;
            const bool letter = c.isLetterOrNumber() || c.isMark();
            words += letter && !inWord ? 1 : 0;
            letters += letter ? 1 : 0;
            inWord = letter;
        }
        return words <= 1 && letters <= linkingWordLength;
    }

    // The candidate is an order, parcel, bill or phone number, an amount, or part of a web address.
    bool isNamedOtherwise(qsizetype start, qsizetype end) const
    {
        const auto link = std::upper_bound(m_links.begin(), m_links.end(), std::pair{start, m_full.size()});
        if (link != m_links.begin() && std::prev(link)->second > start)
            return true;
        if (end < m_full.size() && !isLineBreak(m_full[end]) && m_labels.anyStartingIn(end, end + 2))
            return true; // "4820 kr", "5810元"
        const qsizetype labelEnd = m_labels.lastEndBefore(start);
        return labelEnd >= 0 && start - labelEnd <= notCodeReach &&
               labelEnd > m_keywords.lastEndBefore(start);
    }

    // Ties keep the earlier candidate, so a numeric code beats an alphanumeric one of equal score.
    void offer(QString code, qint64 score)
    {
        if (!m_best || score > m_best->score)
            m_best = ExtractedCode{std::move(code), score};
    }

    const QString& m_full;
    qsizetype m_subjectLength;
    KeywordIndex m_keywords;
    KeywordIndex m_labels;
    KeywordIndex m_promos;
    LineLookup m_lines;
    std::vector<std::pair<qsizetype, qsizetype>> m_links;
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
    extraction.scanMixedCase();
    return extraction.result();
}

} // namespace tessary
