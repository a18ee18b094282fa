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

bool isAsciiLetter(char16_t unit)
{
    return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z');
}

bool continuesWordBeyondAscii(QChar c)
{
    return (c.isLetter() || c.isMark()) && !isWrittenWithoutSpaces(c);
}

// Letters and combining marks continue a word; digits do not, so "4820руб" still ends in a word.
inline bool continuesWord(char16_t unit)
{
    if (unit < 0x80)
        return isAsciiLetter(unit);
    return continuesWordBeyondAscii(QChar(unit));
}

// Whether the text beside a word (`inside` its own edge unit, `outside` the neighbour, 0 at the
// ends of the text) leaves the word whole.
bool isBoundary(char16_t inside, char16_t outside)
{
    return !continuesWord(inside) || !continuesWord(outside);
}

// Whether `text` starts with `word`. Words are a few units long: a plain loop beats memcmp.
bool startsWith(const char16_t* text, const std::u16string& word)
{
    for (std::size_t i = 0; i < word.size(); ++i)
        if (word[i] != text[i])
            return false;
    return true;
}

} // namespace

KeywordSet::Table::Table()
    : listOf(65536, 0)
{
}

void KeywordSet::Table::add(const std::u16string& text, std::size_t word)
{
    const auto unit = [&text](std::size_t i) { return i < text.size() ? text[i] : char16_t(0); };
    firstUnits.set(text[0]);
    anyAsciiFirst = anyAsciiFirst || text[0] < 0x80;
    if (text.size() < 3)
        startsShortWord.set(text[0]);
    quint16& list = listOf[slot(text[0], unit(1), unit(2))];
    if (list == 0) {
        lists.emplace_back();
        list = quint16(lists.size());
    }
    lists[list - 1].push_back(word);
}

KeywordSet::KeywordSet(const std::vector<QStringList>& wordsOfEachKind)
    : m_kinds(int(wordsOfEachKind.size()))
{
    for (int kind = 0; kind < m_kinds; ++kind) {
        for (const QString& entry : wordsOfEachKind[std::size_t(kind)]) {
            QString text = entry.toLower();
            Word word;
            word.kind = kind;
            word.openStart = text.startsWith(QLatin1Char('*'));
            word.openEnd = text.endsWith(QLatin1Char('*'));
            text = text.sliced(word.openStart ? 1 : 0);
            text.chop(word.openEnd ? 1 : 0);
            word.text.assign(reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size()));
            const bool duplicate = std::any_of(m_words.begin(), m_words.end(), [&word](const Word& known) {
                return known.text == word.text && known.kind == word.kind &&
                       known.openStart == word.openStart && known.openEnd == word.openEnd;
            });
            if (word.text.empty() || duplicate)
                continue;
            m_anywhere.add(word.text, m_words.size());
            if (word.openStart)
                m_gluedOnly.add(word.text, m_words.size());
            m_words.push_back(std::move(word));
        }
    }
}

std::vector<KeywordIndex> KeywordIndex::ofEachKind(QStringView lowerText, const KeywordSet& words)
{
    // One pass over the text, trying only the words that begin with the two units at hand; inside
    // a word of the text, only those that may be glued to what precedes. A search per word would
    // read a long mail once per word.
    std::vector<KeywordIndex> indexes(std::size_t(words.kinds()));
    const char16_t* text = lowerText.utf16();
    const qsizetype size = lowerText.size();
    const auto tryWords = [&](qsizetype at, const std::vector<std::size_t>* candidates) {
        if (!candidates)
            return;
        for (std::size_t w : *candidates) {
            const KeywordSet::Word& word = words.m_words[w];
            const qsizetype length = qsizetype(word.text.size());
            if (length > size - at || !startsWith(text + at, word.text))
                continue; // another word that hashed to the same slot
            const qsizetype end = at + length;
            if (!word.openEnd && !isBoundary(word.text.back(), end < size ? text[end] : 0))
                continue;
            KeywordIndex& index = indexes[std::size_t(word.kind)];
            index.m_found.push_back({at, end, w});
            index.m_ends.push_back(end);
        }
    };
    const auto tryTable = [&](const KeywordSet::Table& table, qsizetype at) {
        const char16_t unit = text[at];
        const char16_t second = at + 1 < size ? text[at + 1] : 0;
        if (table.startsShortWord.test(unit)) {
            tryWords(at, table.startingWith(unit, 0, 0));
            if (second != 0)
                tryWords(at, table.startingWith(unit, second, 0));
        }
        if (at + 2 < size)
            tryWords(at, table.startingWith(unit, second, text[at + 2]));
    };
    // Inside a word of the text only glued words can start; when none of them begins with an
    // ASCII letter, the rest of an ASCII word is skipped at once.
    const bool skipAsciiWords = !words.m_gluedOnly.anyAsciiFirst;
    bool afterLetter = false;
    for (qsizetype at = 0; at < size; ++at) {
        const char16_t unit = text[at];
        const bool letter = continuesWord(unit);
        if (afterLetter && letter) {
            if (words.m_gluedOnly.firstUnits.test(unit))
                tryTable(words.m_gluedOnly, at);
            continue;
        }
        afterLetter = letter;
        if (words.m_anywhere.firstUnits.test(unit))
            tryTable(words.m_anywhere, at);
        if (letter && unit < 0x80 && skipAsciiWords) {
            while (at + 1 < size && isAsciiLetter(text[at + 1]))
                ++at;
        }
    }
    for (KeywordIndex& index : indexes)
        std::sort(index.m_ends.begin(), index.m_ends.end());
    return indexes;
}

int KeywordIndex::countInside(qsizetype begin, qsizetype end) const
{
    const auto first = std::lower_bound(m_found.begin(), m_found.end(), begin,
                                        [](const Occurrence& o, qsizetype at) { return o.start < at; });
    // Every occurrence of a word is as long as its first, so the first one after `begin` decides.
    int count = 0;
    for (auto o = first; o != m_found.end() && o->start < end; ++o) {
        const bool seen =
            std::any_of(first, o, [o](const Occurrence& earlier) { return earlier.word == o->word; });
        count += o->end <= end && !seen ? 1 : 0;
    }
    return count;
}

qsizetype KeywordIndex::lastEndBefore(qsizetype position) const
{
    const auto after = std::upper_bound(m_ends.begin(), m_ends.end(), position);
    return after == m_ends.begin() ? -1 : *(after - 1);
}

bool KeywordIndex::anyStartingIn(qsizetype begin, qsizetype end) const
{
    const auto first = std::lower_bound(m_found.begin(), m_found.end(), begin,
                                        [](const Occurrence& o, qsizetype at) { return o.start < at; });
    return first != m_found.end() && first->start < end;
}

} // namespace tessary
