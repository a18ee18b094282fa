#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>

#include <optional>

namespace tessary::server {

// One token of an IMAP response: an atom (including bracketed parts such as "BODY[]" or
// "[UIDVALIDITY 7]"), a string (quoted or literal, unescaped), NIL, or a parenthesised list.
struct ImapValue {
    enum class Kind { atom, string, nil, list };
    Kind kind = Kind::atom;
    QByteArray text;
    QList<ImapValue> items;

    bool isAtom(const char* name) const
    {
        return kind == Kind::atom && text.compare(name, Qt::CaseInsensitive) == 0;
    }
};

// What one IMAP server may send at once. A message is fetched only up to its first 4 MB (every
// code and link is near the top), so a literal larger than that is never an honest answer; a
// response is that literal plus its line. The app takes 16 MB per reply, the sum of a few messages.
struct ImapLimits {
    qsizetype maxLiteral = 4 * 1024 * 1024;
    qsizetype maxResponse = 4 * 1024 * 1024 + 64 * 1024;
};

// Cuts the byte stream from the server into whole responses. A response is a line, except that a
// line ending in a literal's announcement "{n}" goes on for n raw bytes and then another line, so
// a message body holding CRLFs or "{5}" of its own never ends one early. Bytes may arrive split
// anywhere; each byte is looked at once, however it is split. A response or literal over the
// limits makes the reader refuse everything after it (overLimit): the connection is to be dropped.
class ImapResponseReader {
public:
    explicit ImapResponseReader(ImapLimits limits = {})
        : m_limits(limits)
    {
    }
    void feed(const QByteArray& bytes);
    std::optional<QByteArray> next();
    qsizetype buffered() const { return m_buffer.size() - m_start; }
    bool overLimit() const { return m_overLimit; }

private:
    ImapLimits m_limits;
    QByteArray m_buffer;
    qsizetype m_start = 0;    // where the response being read begins
    qsizetype m_scan = 0;     // where the current line segment starts
    qsizetype m_searched = 0; // no line end before this point in the current segment
    qsizetype m_literal = -1; // bytes of a literal still to skip, -1 when none is announced
    bool m_overLimit = false;
};

// The tokens of one whole response; CRLF and the spaces between tokens are dropped. With a
// `budget`, each value (a list and each of its items) spends one of it; where it runs out, the rest
// is left unread and `budget` ends below zero. Parsed, a value costs some 90 bytes, a token sent as
// "a " two: the bytes a server sends do not bound what its answer costs once parsed.
QList<ImapValue> parseImapResponse(const QByteArray& response, qsizetype* budget = nullptr);

// Text as an IMAP quoted string, or nothing when it holds a line break, which no string may.
std::optional<QByteArray> imapQuoted(const QByteArray& text);

// "06-Dec-2025 10:00:00 +0100" as seconds since 1970 UTC.
std::optional<double> parseInternalDate(const QByteArray& text);
// A day as SEARCH takes it: "6-Dec-2025".
QByteArray imapDate(QDate day);

} // namespace tessary::server
