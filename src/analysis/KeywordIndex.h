#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace tessary {

// `text` lower-cased one code point at a time, so every position in the result is the same
// position in `text`: scores count positions in the original and look for words in the lower-case
// form. (Full lower-casing would turn "İ" into two units and shift everything after it.)
QString lowerCaseInPlace(const QString& text);

// Where each of a list of words occurs in a lower-case text, so that "which words lie inside this
// window" costs a few binary searches instead of a scan of the window per word. Keeps matching
// linear on texts with a candidate on every line.
class KeywordIndex {
public:
    // The words are lower-case ASCII.
    KeywordIndex(QStringView lowerText, const QStringList& words);

    bool anyAnywhere() const;
    // How many of the words (each counted once) lie wholly inside [begin, end).
    int countInside(qsizetype begin, qsizetype end) const;
    bool anyInside(qsizetype begin, qsizetype end) const { return countInside(begin, end) > 0; }

private:
    bool occursInside(std::size_t word, qsizetype begin, qsizetype end) const;

    std::vector<qsizetype> m_lengths;
    std::vector<std::vector<qsizetype>> m_starts;
};

} // namespace tessary
