#pragma once

#include <QString>

#include <functional>
#include <memory>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class RegexPattern;
U_NAMESPACE_END

namespace tessary {

// One match of an IcuRegex. Positions are UTF-16 units of the searched text, the unit every
// scoring rule counts in; a group that took no part in the match has start and end of -1.
struct RegexMatch {
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype groupStart = -1;
    qsizetype groupEnd = -1;
};

// A regular expression with ICU semantics (Unicode-aware \w, \d and \b, look-behind), compiled once.
// Matching runs directly on the QString's UTF-16 buffer, without a copy.
class IcuRegex {
public:
    enum Option { noOptions = 0, multiLine = 1, caseInsensitive = 2 };
    // The first position at or after `from` of `text` where a match may begin, or the text's size.
    // ICU finds no first character in a pattern that opens with a look-behind and tries it at every
    // position; a filter that knows which units can begin a match lets the search try the pattern
    // only there. It must never skip a position where the pattern matches.
    using StartFilter = qsizetype (*)(QStringView text, qsizetype from);

    // A pattern that does not compile is a programming error: the program stops with a message.
    explicit IcuRegex(const QString& pattern, int options = noOptions, StartFilter mayStartAt = nullptr);
    ~IcuRegex();
    IcuRegex(const IcuRegex&) = delete;
    IcuRegex& operator=(const IcuRegex&) = delete;

    // Calls `visit` for each match in order, reporting capture group `group` (0 = the whole match).
    // Each search for the next match is bounded by ICU's match time limit, so a pathological text
    // cannot hang the caller; returns false when that limit cut the scan short (the matches found
    // until then were reported).
    bool forEachMatch(const QString& text, int group,
                      const std::function<void(const RegexMatch&)>& visit) const;

    const QString& pattern() const { return m_source; }
    int options() const { return m_options; }

private:
    QString m_source;
    int m_options = noOptions;
    std::unique_ptr<icu::RegexPattern> m_pattern;
    StartFilter m_mayStartAt = nullptr;
};

} // namespace tessary
