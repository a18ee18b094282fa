#include "server/EncodedWords.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <glib.h>
#include <gmime/gmime.h>

#include <mutex>

namespace tessary::server {

namespace {

QByteArray decodeQ(const QByteArray& text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            out.append(' ');
        } else if (c == '=' && i + 2 < text.size()) {
            bool ok = false;
            const int value = text.mid(i + 1, 2).toInt(&ok, 16);
            out.append(ok ? char(value) : c);
            if (ok)
                i += 2;
        } else {
            out.append(c);
        }
    }
    return out;
}

QString rawText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

} // namespace

void ensureGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

QString decodeCharset(const QByteArray& bytes, const QByteArray& charset)
{
    ensureGMime();
    QByteArray name = charset.trimmed();
    if (const qsizetype star = name.indexOf('*'); star >= 0)
        name.truncate(star); // an RFC 2231 language tag
    if (name.isEmpty() || name.compare("utf-8", Qt::CaseInsensitive) == 0 ||
        name.compare("us-ascii", Qt::CaseInsensitive) == 0)
        return QString::fromUtf8(bytes);
    const char* iconvName = g_mime_charset_iconv_name(name.constData());
    gsize written = 0;
    gchar* converted = g_convert_with_fallback(bytes.constData(), bytes.size(), "UTF-8", iconvName,
                                               "\xEF\xBF\xBD", nullptr, &written, nullptr);
    if (!converted)
        return QString::fromUtf8(bytes);
    QString text = QString::fromUtf8(converted, qsizetype(written));
    g_free(converted);
    return text;
}

QString decodeHeaderText(const QByteArray& raw)
{
    static const QRegularExpression folding(QStringLiteral("\\r?\\n(?=[ \\t])"));
    static const QRegularExpression word(QStringLiteral("=\\?([^?\\s]+)\\?([bBqQ])\\?([^?\\s]*)\\?="));
    const QString text = QString::fromLatin1(raw).remove(folding);

    QString out;
    QByteArray pendingCharset;
    QByteArray pendingBytes;
    auto flush = [&] {
        if (!pendingCharset.isEmpty())
            out += decodeCharset(pendingBytes, pendingCharset);
        pendingCharset.clear();
        pendingBytes.clear();
    };
    qsizetype at = 0;
    auto matches = word.globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const QString between = text.mid(at, match.capturedStart() - at);
        const QByteArray charset = match.captured(1).toLatin1();
        // Whitespace between two encoded words is not part of the text.
        if (pendingCharset.isEmpty() || !between.trimmed().isEmpty()) {
            flush();
            out += rawText(between.toLatin1());
        }
        if (!pendingCharset.isEmpty() && pendingCharset.compare(charset, Qt::CaseInsensitive) != 0)
            flush();
        const QByteArray payload = match.captured(3).toLatin1();
        pendingBytes += match.captured(2).compare(QLatin1String("b"), Qt::CaseInsensitive) == 0
                            ? QByteArray::fromBase64(payload)
                            : decodeQ(payload);
        pendingCharset = charset;
        at = match.capturedEnd();
    }
    flush();
    out += rawText(text.mid(at).toLatin1());
    return out.trimmed();
}

} // namespace tessary::server
