#include "analysis/CodeExtraction.h"

#include "analysis/CodeTextParts.h"
#include "analysis/CodeVocabulary.h"
#include "analysis/FieldLines.h"
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
constexpr qint64 subjectPoints = 15;
constexpr qint64 promoPenalty = 40;
constexpr qint64 minimumCodeScore = 11;
// "Your code is: ", "código:\n\n", "验证码为": what may stand between a code word and the code it
// announces. Longer gaps are sentences, and the word no longer labels the candidate.
constexpr qsizetype labelGap = 12;
constexpr int linkingWordLength = 6;
// "Order number: ", "Numéro de suivi : ": how far a not-a-code label reaches to the number it names.
constexpr qsizetype notCodeReach = 24;
// Card and bank confirmations send nine or ten digits; only a code word right before makes them a
// code, as such numbers are otherwise accounts, phones and references.
constexpr int longCodeDigits = 10;
// A code of fewer characters than this in the subject gets no subject bonus unless it is the whole
// subject: a short token there ("Sign in to AB12") is a name more often than the code.
constexpr qsizetype fullCodeLength = 6;
// "TAN: 4 8 2 9 1 0": a code written one character at a time.
constexpr int shortestSpacedCode = 4;
constexpr int longestSpacedCode = 12;
// "20 48 17", "4-8-2-9-1-3", a digit per line: more digits are a phone number ("06 12 34 56 78").
constexpr int longestSpreadCode = 8;

QStringView scannedPart(const QString& text)
{
    qsizetype length = std::min(text.size(), scannedBodyLimit);
    if (length < text.size() && text.at(length - 1).isHighSurrogate())
        --length; // never cut a character in half
    return QStringView(text).first(length);
}

class Extraction {
public:
    Extraction(const QString& full, const QString& lower, qsizetype subjectLength)
        : m_full(full)
        , m_subjectLength(subjectLength)
        , m_words(KeywordIndex::ofEachKind(lower, codeVocabulary()))
        , m_keywords(m_words[codeWord])
        , m_labels(m_words[notCodeWord])
        , m_promos(m_words[promoWord])
        , m_checkouts(m_words[checkoutWord])
        , m_linkingWords(m_words[linkingWord])
        , m_lines(full)
        , m_links(linkSpans(full))
        , m_earlierMessage(earlierMessageStart(full, subjectLength))
    {
    }

    // The word indexes are referred to inside m_words: never copied.
    Extraction(const Extraction&) = delete;
    Extraction& operator=(const Extraction&) = delete;

    bool speaksOfCodes() const { return m_keywords.anyAnywhere(); }

    void scanNumeric()
    {
        numericCodePattern().forEachMatch(m_full, 1, [this](const RegexMatch& match) {
            const QStringView group = textOf(match.groupStart, match.groupEnd);
            const NumericDigits digits = numericDigits(group);
            if (digits.count < 4 || digits.count > longCodeDigits ||
                isPartOfALongerNumber(m_full, match.start, match.end) ||
                isPostalCode(m_full, match.groupStart, match.groupEnd) ||
                isPlaceholder(m_full, match.start, match.end) || isNamedOtherwise(match.start, match.end))
                return;
            if (digits.count > 8 && !isAnnounced(match.start))
                return;
            offerDigits(digitsOf(group), digits, match.start, match.end);
        });
    }

    void scanAlphanumeric()
    {
        alphanumericCodePattern().forEachMatch(m_full, 1, [this](const RegexMatch& match) {
            const QStringView raw = textOf(match.groupStart, match.groupEnd);
            const bool hasLetter = std::any_of(raw.begin(), raw.end(), [](QChar c) { return c.isLetter(); });
            const bool withDigit = hasDigit(raw);
            // Letters and digits may open a longer number too: "FR76 3000 4000" is an account.
            if (!hasLetter || (!withDigit && isStopWord(raw)) ||
                (withDigit && isPartOfALongerNumber(m_full, match.start, match.end)) ||
                isPlaceholder(m_full, match.start, match.end) || isNamedOtherwise(match.start, match.end))
                return;
            const bool alone = isAlone(raw, match.start);
            const bool inSubject = match.start < m_subjectLength;
            if (!withDigit && !(alone && inSubject) && !isLetterCode(match.start, match.end, alone))
                return;
            offerLetters(raw, match.start, alone);
        });
    }

    // Lower- and mixed-case codes ("ab7k2q") are prose-like, so they count only right after a
    // code word; so do codes spaced out one character at a time ("TAN: 4 8 2 9 1 0"). Only the few
    // units after each code word are read, not the whole text.
    void scanAfterCodeWords()
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
                if (const qsizetype spreadEnd = spreadDigitsEnd(at); spreadEnd > at) {
                    if (isSaidToBe(at)) // "code: 20 48 17", not "login from 10 20 30 40"
                        offerSpread(at, spreadEnd);
                    at = spreadEnd;
                    continue;
                }
                qsizetype end = at;
                while (end < size && isAsciiLetterOrDigit(m_full[end]))
                    ++end;
                const qsizetype spacedEnd = end == at + 1 ? spacedCodeEnd(at) : at;
                if (spacedEnd > at)
                    end = spacedEnd;
                if (end == size || !gluesToCode(m_full[end])) {
                    if (spacedEnd > at)
                        offerSpaced(at, end);
                    else
                        offerMixedCase(at, end);
                }
                at = end;
            }
        }
    }

    // A code set out on a line of its own near a code word: digits apart or in pairs ("4 8 2 9 1 3",
    // "62-19-03"), or one digit per line, as a row of one-digit boxes renders.
    void scanSpreadLines()
    {
        qsizetype column = 0; // the run of one-digit lines
        qsizetype columnEnd = 0;
        int columnDigits = 0;
        qsizetype lineBegin = m_subjectLength + 1;
        while (lineBegin < m_full.size()) {
            const qsizetype lineFinish = lineEnd(m_full, lineBegin);
            qsizetype start = lineBegin;
            qsizetype end = lineFinish;
            while (start < end && m_full[start].isSpace())
                ++start;
            while (end > start && m_full[end - 1].isSpace())
                --end;
            // Blank lines may stand between the digits: plain-text renderings set the boxes apart.
            const bool oneDigit = end == start + 1 && isAsciiDigit(m_full[start]);
            if (oneDigit && columnDigits++ == 0)
                column = start;
            if (oneDigit)
                columnEnd = end;
            if ((!oneDigit && end > start) || lineFinish == m_full.size()) {
                if (columnDigits >= shortestSpacedCode && columnDigits <= longestSpreadCode)
                    offerSpread(column, columnEnd);
                columnDigits = 0;
            }
            // Pairs on a line of their own are seats, dates, tables, unless said to be the code.
            if (end > start && spreadDigitsEnd(start) == end &&
                (2 * digitsOf(textOf(start, end)).size() - 1 == end - start || isSaidToBe(start)))
                offerSpread(start, end);
            lineBegin = lineFinish + 1;
            if (lineBegin < m_full.size() && m_full[lineFinish] == QLatin1Char('\r') &&
                m_full[lineBegin] == QLatin1Char('\n'))
                ++lineBegin; // CR LF ends one line
        }
    }

    std::optional<ExtractedCode> result() const
    {
        if (m_best && m_best->score >= minimumCodeScore)
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
        const bool hasLower = std::any_of(raw.begin(), raw.end(), [](QChar c) { return c.isLower(); });
        if (raw.size() < 4 || raw.size() > 12 || !hasDigit(raw) || !hasLower)
            return; // upper-case and digit-only codes are the other passes' work
        if (isAnnounced(start) && !isNamedOtherwise(start, end) && !isPlaceholder(m_full, start, end))
            offerLetters(raw, start, isAlone(raw, start));
    }

    // Where a code written one character at a time ("4 8 2 9 1 0", "K 7 M 2") that begins at
    // `start` ends, or `start` when none begins there.
    qsizetype spacedCodeEnd(qsizetype start) const
    {
        const qsizetype size = m_full.size();
        const auto single = [&](qsizetype at) {
            return at < size && isUpperOrDigit(m_full[at]) &&
                   (at + 1 == size || !isAsciiLetterOrDigit(m_full[at + 1]));
        };
        if (!single(start))
            return start;
        qsizetype end = start + 1;
        int count = 1;
        while (end + 1 < size && isDigitGroupSpace(m_full[end]) && single(end + 1) &&
               count <= longestSpacedCode) {
            end += 2;
            ++count;
        }
        return count >= shortestSpacedCode && count <= longestSpacedCode ? end : start;
    }

    // Where a run of three or more groups of one or two digits that begins at `start` ends, the
    // groups split by one space or dash ("20 48 17", "4-8-2-9-1-3"), or `start` when none begins there.
    // A run is read no further than a code can reach, so a long one costs no more than a short one.
    qsizetype spreadDigitsEnd(qsizetype start) const
    {
        const qsizetype size = m_full.size();
        const auto groupEnd = [&](qsizetype at) {
            qsizetype end = at;
            while (end < size && end - at < 3 && isAsciiDigit(m_full[end]))
                ++end;
            const bool apart = end == size || m_full[end] == QLatin1Char('-') || !gluesToCode(m_full[end]);
            return end > at && end - at <= 2 && apart ? end : at;
        };
        if (start > 0 && gluesToCode(m_full[start - 1]))
            return start;
        qsizetype end = groupEnd(start);
        if (end == start)
            return start;
        const QChar separator = end < size ? m_full[end] : QChar();
        if (separator != QLatin1Char('-') && !isDigitGroupSpace(separator))
            return start;
        int groups = 1;
        while (end + 1 < size && m_full[end] == separator && groups <= longestSpreadCode) {
            const qsizetype next = groupEnd(end + 1);
            if (next == end + 1)
                break;
            end = next;
            ++groups;
        }
        // "26 10:02", "12 34.5": a time or a decimal goes on.
        const bool goesOn = end + 1 < size && m_full[end + 1].isDigit() &&
                            (m_full[end] == separator || QStringView(u":.,").contains(m_full[end]));
        const bool glued = end < size && (gluesToCode(m_full[end]) || goesOn);
        return groups >= 3 && groups <= longestSpreadCode && !glued ? end : start;
    }

    // A code spread over [start, end): its digits, when a code word stands near.
    void offerSpread(qsizetype start, qsizetype end)
    {
        const QString code = digitsOf(textOf(start, end));
        const qsizetype begin = std::max<qsizetype>(start - contextReach, 0);
        if (code.size() < shortestSpacedCode || code.size() > longestSpreadCode || countsUp(code) ||
            isNamedOtherwise(start, end) ||
            m_keywords.countInside(begin, std::min(m_full.size(), begin + contextLength)) == 0)
            return;
        offerDigits(code, numericDigits(code), start, end);
    }

    void offerSpaced(qsizetype start, qsizetype end)
    {
        const QStringView raw = textOf(start, end);
        if (!isAnnounced(start) || isNamedOtherwise(start, end))
            return;
        QString code;
        for (QChar c : raw)
            if (!isDigitGroupSpace(c))
                code.append(c);
        const NumericDigits digits = numericDigits(code);
        if (digits.count == code.size())
            offerDigits(code, digits, start, end);
        else
            offerLetters(code, start, isAlone(raw, start));
    }

    void offerDigits(QString code, NumericDigits digits, qsizetype start, qsizetype end)
    {
        if (isQuoted(start))
            return;
        qint64 score = digits.count == 6 ? 20 : 10;
        // A year, not a code ("code 2024", "© 2025"), unless said to be the code: "code is 1987".
        if (digits.count == 4 && digits.value >= 1900 && digits.value <= 2100 && !isSaidToBe(start))
            score -= 30;
        score += subjectBonus(textOf(start, end), start, code.size());
        offer(std::move(code), score + contextScore(start, false));
    }

    void offerLetters(QStringView code, qsizetype start, bool alone)
    {
        if (isQuoted(start))
            return;
        const qint64 base = alone ? 25 : 12;
        const qsizetype length = code.size() - code.count(QLatin1Char('-'));
        const qint64 bonus =
            start < m_subjectLength && (alone || length >= fullCodeLength) ? subjectPoints : 0;
        offer(code.toString(), base + bonus + contextScore(start, true));
    }

    // `raw` is the candidate as written, `length` the characters of its code.
    qint64 subjectBonus(QStringView raw, qsizetype start, qsizetype length)
    {
        if (start >= m_subjectLength || (length < fullCodeLength && !isAlone(raw, start)))
            return 0;
        return subjectPoints;
    }

    bool isAlone(QStringView raw, qsizetype start) { return m_lines.lineAt(start).trimmed() == raw; }

    // "> Your code is 551902" below "On Monday, Acme wrote:", or anything below "-----Original
    // Message-----": a reply quotes the earlier mail, whose code is spent.
    bool isQuoted(qsizetype start)
    {
        return start >= m_earlierMessage || m_lines.lineAt(start).trimmed().startsWith(QLatin1Char('>'));
    }

    // `lettered`: the code holds letters, as a discount's does (SAVE20).
    qint64 contextScore(qsizetype start, bool lettered) const
    {
        const qsizetype begin = std::max<qsizetype>(start - contextReach, 0);
        const qsizetype end = begin + std::min(m_full.size() - begin, contextLength);
        const int keywords = m_keywords.countInside(begin, end);
        // At a checkout, a second code word says what the code is for ("verification code").
        const bool promotion = m_promos.anyInside(begin, end) ||
                               ((lettered || keywords < 2) && m_checkouts.anyInside(begin, end));
        return keywordBonus * keywords - (promotion ? promoPenalty : 0);
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

    // Announced with a colon or a word that says what the code is ("code: 1987", "Code lautet
    // 2024"), not only named beside it ("code 2024"), by a heading ("Security update 2026") or in
    // a date ("login in 2024").
    bool isSaidToBe(qsizetype start) const
    {
        if (!isAnnounced(start))
            return false;
        const qsizetype wordEnd = m_keywords.lastEndBefore(start);
        return textOf(wordEnd, start).contains(QLatin1Char(':')) || m_linkingWords.anyInside(wordEnd, start);
    }

    // An upper-case word without digits is shouting, a heading or a name ("WELCOME", "GOOGLE"). It is
    // a code only when a code word announces it and it is not one itself, and then alone on its
    // line, after a colon, or as the last word of its sentence ("Your code is HXRTQM."). A shouted
    // code word with only a space after it begins a shouted phrase ("SECURITY NOTICE").
    bool isLetterCode(qsizetype start, qsizetype end, bool alone) const
    {
        if (!isAnnounced(start) || m_keywords.anyStartingIn(start, start + 1))
            return false;
        const qsizetype wordEnd = m_keywords.lastEndBefore(start);
        const QStringView gap = textOf(wordEnd, start);
        if (std::all_of(gap.begin(), gap.end(), [](QChar c) { return c.isSpace(); }) &&
            m_full[wordEnd - 1].isUpper())
            return false;
        return alone || gap.contains(QLatin1Char(':')) || gap.contains(QChar(0xFF1A)) || endsAPhrase(end);
    }

    bool endsAPhrase(qsizetype end) const
    {
        while (end < m_full.size() && isDigitGroupSpace(m_full[end]))
            ++end;
        if (end == m_full.size() || isLineBreak(m_full[end]))
            return true;
        return QStringView(u".,;!?)\u3002\uFF0C").contains(m_full[end]);
    }

    // "Distance: 42.5 km\nCalories: 3120": a value in a list of named fields belongs to its name,
    // unless the name holds a code word ("Device: Chrome on Linux\nCode: 482913").
    bool isFieldValue(qsizetype start) const
    {
        const std::optional<FieldName> name = listedFieldName(m_full, start);
        return name && !m_keywords.anyInside(name->begin, name->end);
    }

    // The candidate is an order, parcel, bill or phone number, an amount, part of a web address, or
    // the value of a named field.
    bool isNamedOtherwise(qsizetype start, qsizetype end) const
    {
        if (isFieldValue(start))
            return true;
        const auto link = std::upper_bound(m_links.begin(), m_links.end(), std::pair{start, m_full.size()});
        if (link != m_links.begin() && std::prev(link)->second > start)
            return true;
        const qsizetype next = end < m_full.size() && isDigitGroupSpace(m_full[end]) ? end + 1 : end;
        if (next < m_full.size() && m_labels.anyStartingIn(next, next + 1))
            return true; // "4820 kr", "5810元"
        // A label that ends where a code word ends holds it ("Transaction code", "کد پیگیری") and
        // names the number more closely. A label names the first number after it only: in "card
        // ending 4417 is 482913" the label is spent on 4417, and in "35,00 EUR at SHOP is 902716"
        // on the amount before it. Nor does it reach past a comma or the end of a sentence: "Dear
        // Customer, 482913 is your OTP". (A full stop may end a label's abbreviation: "Nr. 4821".)
        const qsizetype labelEnd = m_labels.lastEndBefore(start);
        if (labelEnd < 0 || start - labelEnd > notCodeReach || labelEnd < m_keywords.lastEndBefore(start))
            return false;
        const QStringView gap = textOf(labelEnd, start);
        return !hasDigit(gap) && !followsANumber(labelEnd) &&
               !std::any_of(gap.begin(), gap.end(),
                            [](QChar c) { return QStringView(u",;!?\uFF0C").contains(c); });
    }

    // Whether the word ending at `end` stands right after a number, as a currency or a unit does.
    bool followsANumber(qsizetype end) const
    {
        qsizetype at = end;
        while (at > 0 &&
               (m_full[at - 1].isLetter() || m_full[at - 1].isMark() || m_full[at - 1] == QLatin1Char('.')))
            --at;
        if (at > 0 && isDigitGroupSpace(m_full[at - 1]))
            --at;
        return at > 0 && m_full[at - 1].isDigit();
    }

    // Ties keep the earlier candidate, so a numeric code beats an alphanumeric one of equal score.
    void offer(QString code, qint64 score)
    {
        if (!m_best || score > m_best->score)
            m_best = ExtractedCode{std::move(code), score, {}};
    }

    const QString& m_full;
    qsizetype m_subjectLength;
    std::vector<KeywordIndex> m_words;
    const KeywordIndex& m_keywords;
    const KeywordIndex& m_labels;
    const KeywordIndex& m_promos;
    const KeywordIndex& m_checkouts;
    const KeywordIndex& m_linkingWords;
    LineLookup m_lines;
    std::vector<std::pair<qsizetype, qsizetype>> m_links;
    qsizetype m_earlierMessage;
    std::optional<ExtractedCode> m_best;
};

} // namespace

std::optional<ExtractedCode> extractCode(const QString& subject, const QString& text)
{
    const QStringView body = scannedPart(text);
    if (std::optional<ExtractedCode> bound = originBoundCode(body))
        return bound;
    QString full;
    full.reserve(subject.size() + 1 + body.size());
    full.append(subject).append(QLatin1Char('\n')).append(body);
    const QString lower = lowerCaseInPlace(full);
    Extraction extraction(full, lower, subject.size());
    if (!extraction.speaksOfCodes())
        return std::nullopt;
    extraction.scanNumeric();
    extraction.scanAlphanumeric();
    extraction.scanAfterCodeWords();
    extraction.scanSpreadLines();
    return extraction.result();
}

} // namespace tessary
