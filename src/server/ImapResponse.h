#pragma once

#include <QByteArray>
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

// Cuts the byte stream from the server into whole responses. A response is a line, except that a
// line ending in a literal's announcement "{n}" goes on for n raw bytes and then another line, so
// a message body holding CRLFs or "{5}" of its own never ends one early. Bytes may arrive split
// anywhere.
class ImapResponseReader {
public:
    void feed(const QByteArray& bytes) { m_buffer.append(bytes); }
    std::optional<QByteArray> next();
    qsizetype buffered() const { return m_buffer.size(); }

private:
    QByteArray m_buffer;
    qsizetype m_scan = 0;     // where the current line segment starts
    qsizetype m_literal = -1; // bytes of a literal still to skip, -1 when none is announced
};

// The tokens of one whole response; CRLF and the spaces between tokens are dropped.
QList<ImapValue> parseImapResponse(const QByteArray& response);

// Text as an IMAP quoted string, or nothing when it holds a line break, which no string may.
std::optional<QByteArray> imapQuoted(const QByteArray& text);

} // namespace tessary::server
