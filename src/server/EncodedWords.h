#pragma once

#include <QByteArray>
#include <QString>

namespace tessary::server {

// A header value as the reader should see it: folding undone and RFC 2047 encoded words decoded.
// Adjacent encoded words of one charset are joined before their bytes are converted, because
// senders split a multi-byte character (or an ISO-2022-JP escape sequence) across two words;
// decoding word by word loses that character. Raw 8-bit text is read as UTF-8 when it is valid.
QString decodeHeaderText(const QByteArray& raw);

// GMime's tables must be set up once before any of its functions run.
void ensureGMime();

// Bytes in a named charset as text; unknown charsets are read as UTF-8 with replacement.
QString decodeCharset(const QByteArray& bytes, const QByteArray& charset);

} // namespace tessary::server
