#include "analysis/IcuRegex.h"

#include <QtGlobal>

#include <algorithm>

#include <unicode/regex.h>
#include <unicode/unistr.h>

namespace tessary {

namespace {
// ICU counts its time limit in steps of its match engine, each "on the order of milliseconds".
// Our patterns scan linearly, so a single search never comes near this; it is a backstop.
constexpr int32_t matchTimeLimitSteps = 50;
} // namespace

IcuRegex::IcuRegex(const QString& pattern, int options, StartFilter mayStartAt)
    : m_source(pattern)
    , m_options(options)
    , m_mayStartAt(mayStartAt)
{
    uint32_t flags = 0;
    if (options & multiLine)
        flags |= UREGEX_MULTILINE;
    if (options & caseInsensitive)
        flags |= UREGEX_CASE_INSENSITIVE;
    const icu::UnicodeString source(false, reinterpret_cast<const UChar*>(pattern.utf16()),
                                    int32_t(pattern.size()));
    UParseError parseError{};
    UErrorCode status = U_ZERO_ERROR;
    m_pattern.reset(icu::RegexPattern::compile(source, flags, parseError, status));
    if (U_FAILURE(status))
        qFatal("regular expression does not compile (%s at offset %d): %s", u_errorName(status),
               parseError.offset, qPrintable(pattern));
}

IcuRegex::~IcuRegex() = default;

bool IcuRegex::forEachMatch(const QString& text, int group,
                            const std::function<void(const RegexMatch&)>& visit) const
{
    // A read-only alias of the QString's buffer: no copy, and ICU's offsets are our offsets.
    const icu::UnicodeString input(false, reinterpret_cast<const UChar*>(text.utf16()), int32_t(text.size()));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(m_pattern->matcher(input, status));
    if (U_FAILURE(status))
        return false;
    matcher->setTimeLimit(matchTimeLimitSteps, status);
    const auto report = [&]() {
        RegexMatch match;
        match.start = matcher->start(status);
        match.end = matcher->end(status);
        match.groupStart = matcher->start(group, status);
        match.groupEnd = matcher->end(group, status);
        if (U_SUCCESS(status))
            visit(match);
        return match.end;
    };
    if (!m_mayStartAt) {
        while (matcher->find(status) && U_SUCCESS(status))
            report();
        return U_SUCCESS(status);
    }
    // The same leftmost, non-overlapping matches as find(): the pattern is tried where the filter
    // lets a match begin, anchored there, seeing the text on both sides of the position.
    matcher->useTransparentBounds(true);
    matcher->useAnchoringBounds(false);
    const QStringView view(text);
    const qsizetype size = text.size();
    for (qsizetype at = m_mayStartAt(view, 0); at < size && U_SUCCESS(status);) {
        matcher->region(at, size, status);
        const bool found = matcher->lookingAt(status) && U_SUCCESS(status);
        at = m_mayStartAt(view, found ? std::max(report(), at + 1) : at + 1);
    }
    return U_SUCCESS(status);
}

} // namespace tessary
