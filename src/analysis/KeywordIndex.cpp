#include "analysis/KeywordIndex.h"

#include <algorithm>

namespace tessary {

QString lowerCaseInPlace(const QString& text)
{
    QString lower = text;
    char16_t* units = reinterpret_cast<char16_t*>(lower.data());
    const qsizetype size = lower.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = units[i];
        if (unit < 0x80) {
            if (unit >= u'A' && unit <= u'Z')
                units[i] = char16_t(unit + 32);
        } else if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(units[i + 1])) {
            const char32_t lowered = QChar::toLower(QChar::surrogateToUcs4(unit, units[i + 1]));
            if (QChar::requiresSurrogates(lowered)) { // never shrink a pair into one unit
                units[i] = QChar::highSurrogate(lowered);
                units[i + 1] = QChar::lowSurrogate(lowered);
            }
            ++i;
        } else if (!QChar::isSurrogate(unit)) {
            const char32_t lowered = QChar::toLower(char32_t(unit));
            if (!QChar::requiresSurrogates(lowered))
                units[i] = char16_t(lowered);
        }
    }
    return lower;
}

namespace {

// Chinese and Japanese run words together: there a word ends where the keyword ends.
bool isWrittenWithoutSpaces(QChar c)
{
    switch (c.script()) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Thai:
    case QChar::Script_Lao:
    case QChar::Script_Khmer:
    case QChar::Script_Myanmar:
        return true;
    default:
        return c.unicode() == 0x30FC; // the katakana long-vowel mark belongs to no single script
    }
}

// Letters and combining marks continue a word; digits do not, so "4820руб" still ends in a word.
bool continuesWord(QChar c)
{
    return (c.isLetter() || c.isMark()) && !isWrittenWithoutSpaces(c);
}

// Whether the text beside a word (`inside` its own edge character, `outside` the neighbour, null at
// the ends of the text) leaves the word whole.
bool isBoundary(QChar inside, QChar outside)
{
    return !continuesWord(inside) || !continuesWord(outside);
}

} // namespace

KeywordSet::KeywordSet(const QStringList& words)
{
    for (const QString& entry : words) {
        Word word;
        word.text = entry.toLower();
        word.openStart = word.text.startsWith(QLatin1Char('*'));
        word.openEnd = word.text.endsWith(QLatin1Char('*'));
        word.text = word.text.sliced(word.openStart ? 1 : 0);
        word.text.chop(word.openEnd ? 1 : 0);
        const bool duplicate = std::any_of(m_words.begin(), m_words.end(), [&word](const Word& known) {
            return known.text == word.text && known.openStart == word.openStart &&
                   known.openEnd == word.openEnd;
        });
        if (word.text.isEmpty() || duplicate)
            continue;
        const char16_t first = word.text.front().unicode();
        const char16_t second = word.text.size() > 1 ? word.text.at(1).unicode() : 0;
        m_firstUnits.set(first);
        m_byFirstUnits[quint32(first) << 16 | second].push_back(m_words.size());
        m_words.push_back(std::move(word));
    }
}

const std::vector<std::size_t>* KeywordSet::startingWith(char16_t first, char16_t second) const
{
    const auto found = m_byFirstUnits.constFind(quint32(first) << 16 | second);
    return found == m_byFirstUnits.constEnd() ? nullptr : &found.value();
}

KeywordIndex::KeywordIndex(QStringView lowerText, const KeywordSet& words)
{
    // One pass over the text, trying only the words that start with the character at hand: a
    // search per word would read a long mail once per word.
    m_lengths.reserve(words.m_words.size());
    for (const KeywordSet::Word& word : words.m_words)
        m_lengths.push_back(word.text.size());
    m_starts.resize(words.m_words.size());
    const qsizetype size = lowerText.size();
    const auto tryWords = [&](qsizetype at, const std::vector<std::size_t>* candidates) {
        if (!candidates)
            return;
        for (std::size_t w : *candidates) {
            const KeywordSet::Word& word = words.m_words[w];
            const qsizetype end = at + word.text.size();
            if (end > size || lowerText.sliced(at, word.text.size()) != word.text)
                continue;
            if (!word.openStart && !isBoundary(word.text.front(), at > 0 ? lowerText[at - 1] : QChar()))
                continue;
            if (!word.openEnd && !isBoundary(word.text.back(), end < size ? lowerText[end] : QChar()))
                continue;
            if (m_starts[w].empty())
                m_found.push_back(w);
            m_starts[w].push_back(at);
            m_allStarts.push_back(at);
            m_allEnds.push_back(end);
        }
    };
    for (qsizetype at = 0; at < size; ++at) {
        const char16_t first = lowerText[at].unicode();
        if (!words.m_firstUnits.test(first))
            continue;
        tryWords(at, words.startingWith(first, 0));
        if (at + 1 < size)
            tryWords(at, words.startingWith(first, lowerText[at + 1].unicode()));
    }
    std::sort(m_allEnds.begin(), m_allEnds.end());
}

bool KeywordIndex::occursInside(std::size_t word, qsizetype begin, qsizetype end) const
{
    const std::vector<qsizetype>& starts = m_starts[word];
    const auto first = std::lower_bound(starts.begin(), starts.end(), begin);
    return first != starts.end() && *first + m_lengths[word] <= end;
}

int KeywordIndex::countInside(qsizetype begin, qsizetype end) const
{
    int count = 0;
    for (std::size_t word : m_found)
        count += occursInside(word, begin, end) ? 1 : 0;
    return count;
}

qsizetype KeywordIndex::lastEndBefore(qsizetype position) const
{
    const auto after = std::upper_bound(m_allEnds.begin(), m_allEnds.end(), position);
    return after == m_allEnds.begin() ? -1 : *(after - 1);
}

bool KeywordIndex::anyStartingIn(qsizetype begin, qsizetype end) const
{
    const auto first = std::lower_bound(m_allStarts.begin(), m_allStarts.end(), begin);
    return first != m_allStarts.end() && *first < end;
}

} // namespace tessary
