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
    // The host that the message's last line binds the code to ("@example.com #482913"), or empty.
    QString boundHost;
    friend bool operator==(const ExtractedCode&, const ExtractedCode&) = default;
};

// Finds the best code in a mail's subject and body, or none when the mail never speaks of codes or
// nothing scores above 10. A body whose last line ends in the origin-bound form ("@example.com
// #482913", an embedded site's " @pay.example" may follow) states its code and the site it is for:
// that code it is. Deterministic; positions are counted in UTF-16 units of the subject, a line feed
// and the body.
std::optional<ExtractedCode> extractCode(const QString& subject, const QString& text);

} // namespace tessary
