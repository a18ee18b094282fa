#pragma once

#include <QString>
#include <QStringList>

#include <bitset>
#include <string>
#include <vector>

namespace tessary {

// `text` lower-cased one code point at a time, so every position in the result is the same
// position in `text`: scores count positions in the original and look for words in the lower-case
// form. (Full lower-casing would turn "İ" into two units and shift everything after it.)
QString lowerCaseInPlace(const QString& text);

// Lists of words prepared once for KeywordIndex, one list per kind of word (code words, labels,
// ...): a text is read once for all of them. Each word is lower-case and matches as a whole word;
// a "*" at its end lets the word go on, a "*" at its start lets it be glued to what precedes.
// Where the word or its neighbour is written in a script without spaces (Chinese, Japanese), the
// word itself is the boundary. Duplicates within a kind are dropped, so each word counts once.
class KeywordSet {
public:
    explicit KeywordSet(const std::vector<QStringList>& wordsOfEachKind);
    int kinds() const { return m_kinds; }

private:
    friend class KeywordIndex;
    struct Word {
        std::u16string text;
        int kind = 0;
        bool openStart = false;
        bool openEnd = false;
    };
    // The words by their first three units (a shorter word under its units and zeros), hashed into
    // one flat table: a text position meets only the few words that share its first units. Inside a
    // word of the text only the words that may be glued to what precedes can start, so they have
    // their own table.
    struct Table {
        Table();
        void add(const std::u16string& text, std::size_t word);
        const std::vector<std::size_t>* startingWith(char16_t first, char16_t second, char16_t third) const
        {
            const quint16 list = listOf[slot(first, second, third)];
            return list == 0 ? nullptr : &lists[list - 1];
        }
        // Words of one script share their slots' neighbourhood, so a text keeps to a few cache lines.
        static std::size_t slot(char16_t first, char16_t second, char16_t third)
        {
            return ((std::size_t(first) << 8) ^ second ^ (std::size_t(third) << 4)) & 0xFFFF;
        }
        std::vector<quint16> listOf; // 0 = no word, else 1 + the index in `lists`
        std::vector<std::vector<std::size_t>> lists;
        std::bitset<65536> firstUnits;      // a cheap "no word starts here" before the table is asked
        std::bitset<65536> startsShortWord; // first units of the words of one or two units
        bool anyAsciiFirst = false;
    };

    std::vector<Word> m_words;
    int m_kinds = 0;
    Table m_anywhere;
    Table m_gluedOnly;
};

// Where each word of one kind of a KeywordSet occurs in a lower-case text, so that "which words lie
// inside this window" costs a binary search and a look at the few words nearby instead of a scan
// of the window per word. Keeps matching linear on texts with a candidate on every line.
class KeywordIndex {
public:
    // The index of each kind of word, in the set's order, from one pass over the text.
    static std::vector<KeywordIndex> ofEachKind(QStringView lowerText, const KeywordSet& words);

    bool anyAnywhere() const { return !m_found.empty(); }
    // How many of the words (each counted once) lie wholly inside [begin, end).
    int countInside(qsizetype begin, qsizetype end) const;
    bool anyInside(qsizetype begin, qsizetype end) const { return countInside(begin, end) > 0; }
    // Where the last word ending at or before `position` ends, or -1 when none does.
    qsizetype lastEndBefore(qsizetype position) const;
    // Where each occurrence ends, in order.
    const std::vector<qsizetype>& ends() const { return m_ends; }
    // Whether a word starts inside [begin, end).
    bool anyStartingIn(qsizetype begin, qsizetype end) const;

private:
    struct Occurrence {
        qsizetype start;
        qsizetype end;
        std::size_t word;
    };
    std::vector<Occurrence> m_found; // in the order of their starts
    std::vector<qsizetype> m_ends;   // sorted
};

} // namespace tessary
