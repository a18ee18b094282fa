#include "analysis/KeywordIndex.h"

#include <algorithm>
#include <array>

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

KeywordIndex::KeywordIndex(QStringView lowerText, const QStringList& words)
{
    // One pass over the text, trying only the words that start with the character at hand: a
    // search per word would read a long mail once per word.
    std::array<std::vector<std::size_t>, 128> wordsByFirstUnit;
    m_lengths.reserve(std::size_t(words.size()));
    m_starts.resize(std::size_t(words.size()));
    for (qsizetype w = 0; w < words.size(); ++w) {
        const QString& word = words.at(w);
        m_lengths.push_back(word.size());
        Q_ASSERT(!word.isEmpty() && word.front().unicode() < 128);
        wordsByFirstUnit[word.front().unicode()].push_back(std::size_t(w));
    }
    const qsizetype size = lowerText.size();
    for (qsizetype at = 0; at < size; ++at) {
        const char16_t unit = lowerText[at].unicode();
        if (unit >= 128)
            continue;
        for (std::size_t w : wordsByFirstUnit[unit]) {
            const QString& word = words.at(qsizetype(w));
            if (at + word.size() <= size && lowerText.sliced(at, word.size()) == word)
                m_starts[w].push_back(at);
        }
    }
}

bool KeywordIndex::anyAnywhere() const
{
    return std::any_of(m_starts.begin(), m_starts.end(), [](const auto& starts) { return !starts.empty(); });
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
    for (std::size_t word = 0; word < m_starts.size(); ++word)
        count += occursInside(word, begin, end) ? 1 : 0;
    return count;
}

} // namespace tessary
