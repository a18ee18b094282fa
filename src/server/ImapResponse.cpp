#include "server/ImapResponse.h"

#include <QDateTime>

#include <cctype>

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
    Tokenizer(const QByteArray& text, qsizetype* budget)
        : m_text(text)
        , m_budget(budget)
    {
    }

    QList<ImapValue> values(int depth = 0)
    {
        QList<ImapValue> out;
        while (m_at < m_text.size()) {
            const char c = m_text[m_at];
            if (c == ' ' || c == '\r' || c == '\n') {
                ++m_at;
            } else if (c != ')' && m_budget && --*m_budget < 0) {
                m_at = m_text.size();
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
        // Only digits (and a "+") may stand between the braces, so the closing one is looked for
        // that far only: a line of many "{" stays linear to read.
        qsizetype close = m_at + 1;
        while (close < m_text.size() && close - m_at <= 21 &&
               (std::isdigit(uchar(m_text[close])) || m_text[close] == '+'))
            ++close;
        const auto size = close < m_text.size() && m_text[close] == '}'
                              ? announcedLiteral(QByteArrayView(m_text).sliced(m_at, close - m_at + 1))
                              : std::nullopt;
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
    qsizetype* m_budget;
    qsizetype m_at = 0;
};

} // namespace

void ImapResponseReader::feed(const QByteArray& bytes)
{
    if (m_overLimit)
        return;
    // What earlier responses used goes once it is half the buffer: each byte moves at most once.
    if (m_start > 0 && m_start >= m_buffer.size() / 2) {
        m_buffer.remove(0, m_start);
        m_scan -= m_start;
        m_searched -= m_start;
        m_start = 0;
    }
    m_buffer.append(bytes);
}

std::optional<QByteArray> ImapResponseReader::next()
{
    while (!m_overLimit) {
        if (m_literal >= 0) {
            if (m_buffer.size() - m_scan < m_literal)
                return std::nullopt;
            m_scan += m_literal;
            m_searched = m_scan;
            m_literal = -1;
        }
        const qsizetype end = m_buffer.indexOf("\r\n", m_searched);
        if (end < 0) {
            m_searched = std::max(m_scan, m_buffer.size() - 1); // a CR at the end may meet its LF next
            m_overLimit = m_buffer.size() - m_start > m_limits.maxResponse;
            return std::nullopt;
        }
        if (const auto size = announcedLiteral(QByteArrayView(m_buffer).sliced(m_scan, end - m_scan))) {
            m_overLimit = *size > m_limits.maxLiteral || end + 2 + *size - m_start > m_limits.maxResponse;
            m_literal = *size;
            m_scan = m_searched = end + 2;
            continue;
        }
        if (end + 2 - m_start > m_limits.maxResponse) {
            m_overLimit = true;
            return std::nullopt;
        }
        QByteArray response = m_buffer.mid(m_start, end + 2 - m_start);
        m_start = m_scan = m_searched = end + 2;
        return response;
    }
    return std::nullopt;
}

QList<ImapValue> parseImapResponse(const QByteArray& response, qsizetype* budget)
{
    return Tokenizer(response, budget).values();
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

namespace {

const char* const monthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

std::optional<double> parseInternalDate(const QByteArray& text)
{
    const QList<QByteArray> parts = text.simplified().split(' ');
    if (parts.size() != 3)
        return std::nullopt;
    const QList<QByteArray> date = parts[0].split('-');
    if (date.size() != 3)
        return std::nullopt;
    int month = 0;
    for (int i = 0; i < 12; ++i)
        if (date[1].compare(monthNames[i], Qt::CaseInsensitive) == 0)
            month = i + 1;
    const QTime time = QTime::fromString(QString::fromLatin1(parts[1]), QStringLiteral("HH:mm:ss"));
    const QByteArray& zone = parts[2];
    bool ok = zone.size() == 5 && (zone[0] == '+' || zone[0] == '-');
    const int hhmm = ok ? zone.mid(1).toInt(&ok) : 0;
    const QDate day(date[2].toInt(), month, date[0].toInt());
    if (!ok || !day.isValid() || !time.isValid())
        return std::nullopt;
    const int offset = (zone[0] == '-' ? -1 : 1) * ((hhmm / 100) * 3600 + (hhmm % 100) * 60);
    return double(QDateTime(day, time, Qt::OffsetFromUTC, offset).toSecsSinceEpoch());
}

QByteArray imapDate(QDate day)
{
    return QByteArray::number(day.day()) + '-' + monthNames[day.month() - 1] + '-' +
           QByteArray::number(day.year());
}

} // namespace tessary::server
