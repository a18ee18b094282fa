#include "server/ImapResponse.h"

namespace tessary::server {

namespace {

// The size announced by "{n}" or "{n+}" at the end of a line segment, if it ends so.
std::optional<qsizetype> announcedLiteral(QByteArrayView segment)
{
    if (!segment.endsWith('}'))
        return std::nullopt;
    const qsizetype open = segment.lastIndexOf('{');
    if (open < 0)
        return std::nullopt;
    QByteArrayView digits = segment.sliced(open + 1, segment.size() - open - 2);
    if (digits.endsWith('+'))
        digits.chop(1);
    bool ok = false;
    const qlonglong size = digits.toLongLong(&ok);
    if (!ok || size < 0 || digits.isEmpty())
        return std::nullopt;
    return qsizetype(size);
}

class Tokenizer {
public:
    explicit Tokenizer(const QByteArray& text)
        : m_text(text)
    {
    }

    QList<ImapValue> values(int depth = 0)
    {
        QList<ImapValue> out;
        while (m_at < m_text.size()) {
            const char c = m_text[m_at];
            if (c == ' ' || c == '\r' || c == '\n') {
                ++m_at;
            } else if (c == '(') {
                ++m_at;
                ImapValue list{
                    ImapValue::Kind::list, {}, depth < 32 ? values(depth + 1) : QList<ImapValue>{}};
                out.append(std::move(list));
            } else if (c == ')') {
                ++m_at;
                if (depth > 0)
                    return out;
            } else if (c == '"') {
                out.append({ImapValue::Kind::string, quoted(), {}});
            } else if (c == '{') {
                out.append(literalOrAtom());
            } else {
                QByteArray text = atom();
                const bool nil = text.compare("NIL", Qt::CaseInsensitive) == 0;
                out.append({nil ? ImapValue::Kind::nil : ImapValue::Kind::atom, std::move(text), {}});
            }
        }
        return out;
    }

private:
    QByteArray quoted()
    {
        QByteArray text;
        for (++m_at; m_at < m_text.size() && m_text[m_at] != '"'; ++m_at) {
            if (m_text[m_at] == '\\' && m_at + 1 < m_text.size())
                ++m_at;
            text.append(m_text[m_at]);
        }
        ++m_at;
        return text;
    }

    ImapValue literalOrAtom()
    {
        const qsizetype close = m_text.indexOf('}', m_at);
        const auto size = close < 0 ? std::nullopt
                                    : announcedLiteral(QByteArrayView(m_text).sliced(m_at, close - m_at + 1));
        if (!size || close + 2 >= m_text.size())
            return {ImapValue::Kind::atom, atom(), {}};
        const qsizetype start = close + 3; // past "}\r\n"
        const qsizetype length = std::min(*size, std::max<qsizetype>(0, m_text.size() - start));
        m_at = start + length;
        return {ImapValue::Kind::string, m_text.mid(start, length), {}};
    }

    QByteArray atom()
    {
        const qsizetype start = m_at;
        int brackets = 0;
        while (m_at < m_text.size()) {
            const char c = m_text[m_at];
            if (c == '[')
                ++brackets;
            else if (c == ']' && brackets > 0)
                --brackets;
            else if (brackets == 0 && (c == ' ' || c == '(' || c == ')' || c == '\r' || c == '\n'))
                break;
            else if (c == '\r' || c == '\n')
                break;
            ++m_at;
        }
        if (m_at == start)
            ++m_at; // a stray character cannot stall the loop
        return m_text.mid(start, m_at - start);
    }

    const QByteArray& m_text;
    qsizetype m_at = 0;
};

} // namespace

std::optional<QByteArray> ImapResponseReader::next()
{
    for (;;) {
        if (m_literal >= 0) {
            if (m_buffer.size() - m_scan < m_literal)
                return std::nullopt;
            m_scan += m_literal;
            m_literal = -1;
        }
        const qsizetype end = m_buffer.indexOf("\r\n", m_scan);
        if (end < 0)
            return std::nullopt;
        if (const auto size = announcedLiteral(QByteArrayView(m_buffer).sliced(m_scan, end - m_scan))) {
            m_literal = *size;
            m_scan = end + 2;
            continue;
        }
        QByteArray response = m_buffer.left(end + 2);
        m_buffer.remove(0, end + 2);
        m_scan = 0;
        return response;
    }
}

QList<ImapValue> parseImapResponse(const QByteArray& response)
{
    return Tokenizer(response).values();
}

std::optional<QByteArray> imapQuoted(const QByteArray& text)
{
    if (text.contains('\r') || text.contains('\n') || text.contains('\0'))
        return std::nullopt;
    QByteArray out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out.append('\\');
        out.append(c);
    }
    return out + '"';
}

} // namespace tessary::server
