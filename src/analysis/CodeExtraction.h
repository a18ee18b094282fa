#pragma once

#include <QString>

#include <optional>

namespace tessary {

// Only the start of a body is read. Verification mail is a few kilobytes; this bounds the work on a
// hostile multi-megabyte body to a few milliseconds while leaving any real code in reach.
inline constexpr qsizetype scannedBodyLimit = 128 * 1024;

// The one code a message most likely carries, in the form in which it is typed, with its score.
struct ExtractedCode {
    QString code;
    qint64 score = 0;
    friend bool operator==(const ExtractedCode&, const ExtractedCode&) = default;
};

// Finds the best code in a mail's subject and body, or none when the mail never speaks of codes or
// nothing scores above 10. Deterministic; positions are counted in UTF-16 units of the subject, a
// line feed and the body.
std::optional<ExtractedCode> extractCode(const QString& subject, const QString& text);

} // namespace tessary
