#include "analysis/IcuRegex.h"

#include <QtGlobal>

#include <unicode/regex.h>
#include <unicode/unistr.h>

namespace tessary {

namespace {
// ICU counts its time limit in steps of its match engine, each "on the order of milliseconds".
// Our patterns scan linearly, so a single search never comes near this; it is a backstop.
constexpr int32_t matchTimeLimitSteps = 50;
} // namespace

IcuRegex::IcuRegex(const QString& pattern, int options)
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
    while (matcher->find(status) && U_SUCCESS(status)) {
        RegexMatch match;
        match.start = matcher->start(status);
        match.end = matcher->end(status);
        match.groupStart = matcher->start(group, status);
        match.groupEnd = matcher->end(group, status);
        if (U_FAILURE(status))
            return false;
        visit(match);
    }
    return U_SUCCESS(status);
}

} // namespace tessary
