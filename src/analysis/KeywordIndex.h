#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <bitset>
#include <vector>

namespace tessary {

// `text` lower-cased one code point at a time, so every position in the result is the same
// position in `text`: scores count positions in the original and look for words in the lower-case
// form. (Full lower-casing would turn "İ" into two units and shift everything after it.)
QString lowerCaseInPlace(const QString& text);

// A list of words prepared once for KeywordIndex. Each word is lower-case and matches as a whole
// word; a "*" at its end lets the word go on, a "*" at its start lets it be glued to what precedes.
// Where the word or its neighbour is written in a script without spaces (Chinese, Japanese), the
// word itself is the boundary. Duplicates are dropped, so each word counts once.
class KeywordSet {
public:
    explicit KeywordSet(const QStringList& words);
    qsizetype size() const { return qsizetype(m_words.size()); }

private:
    friend class KeywordIndex;
    struct Word {
        QString text;
        bool openStart = false;
        bool openEnd = false;
    };
    // The words that may start with `first` followed by `second`: keyed by two units, a text
    // position meets only the few words that share its first two letters.
    const std::vector<std::size_t>* startingWith(char16_t first, char16_t second) const;

    std::vector<Word> m_words;
    std::bitset<65536> m_firstUnits; // a cheap "no word starts here" before the table is asked
    QHash<quint32, std::vector<std::size_t>> m_byFirstUnits; // one-unit words under second 0
};

// Where each word of a KeywordSet occurs in a lower-case text, so that "which words lie inside this
// window" costs a few binary searches instead of a scan of the window per word. Keeps matching
// linear on texts with a candidate on every line.
class KeywordIndex {
public:
    KeywordIndex(QStringView lowerText, const KeywordSet& words);

    bool anyAnywhere() const { return !m_allStarts.empty(); }
    // How many of the words (each counted once) lie wholly inside [begin, end).
    int countInside(qsizetype begin, qsizetype end) const;
    bool anyInside(qsizetype begin, qsizetype end) const { return countInside(begin, end) > 0; }
    // Where the last word ending at or before `position` ends, or -1 when none does.
    qsizetype lastEndBefore(qsizetype position) const;
    // Where each occurrence ends, in order.
    const std::vector<qsizetype>& ends() const { return m_allEnds; }
    // Whether a word starts inside [begin, end).
    bool anyStartingIn(qsizetype begin, qsizetype end) const;

private:
    bool occursInside(std::size_t word, qsizetype begin, qsizetype end) const;

    std::vector<qsizetype> m_lengths;
    std::vector<std::vector<qsizetype>> m_starts;
    std::vector<std::size_t> m_found; // the words that occur at all, the only ones a window can hold
    std::vector<qsizetype> m_allStarts;
    std::vector<qsizetype> m_allEnds;
};

} // namespace tessary
