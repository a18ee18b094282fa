#include "server/MailRecord.h"

#include "server/EncodedWords.h"

#include <gmime/gmime.h>

namespace tessary::server {

namespace {

QByteArray rawHeader(GMimeObject* object, const char* name)
{
    GMimeHeaderList* headers = g_mime_object_get_header_list(object);
    GMimeHeader* header = headers ? g_mime_header_list_get_header(headers, name) : nullptr;
    const char* value = header ? g_mime_header_get_raw_value(header) : nullptr;
    return value ? QByteArray(value) : QByteArray();
}

struct Bodies {
    QByteArray plain;
    QByteArray html;
};

void collectBodies(GMimeObject* part, Bodies& bodies, int depth)
{
    if (!part || depth > 16)
        return;
    if (GMIME_IS_MULTIPART(part)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(part);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i)
            collectBodies(g_mime_multipart_get_part(multipart, i), bodies, depth + 1);
        return;
    }
    if (!GMIME_IS_TEXT_PART(part) || g_mime_part_is_attachment(GMIME_PART(part)))
        return;
    GMimeContentType* type = g_mime_object_get_content_type(part);
    const bool plain = g_mime_content_type_is_type(type, "text", "plain");
    const bool html = g_mime_content_type_is_type(type, "text", "html");
    QByteArray& target = plain ? bodies.plain : bodies.html;
    if ((!plain && !html) || !target.isEmpty())
        return;
    char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(part));
    if (text) {
        target = QByteArray(text);
        g_free(text);
    }
}

} // namespace

MailRecord readMail(const QByteArray& raw)
{
    ensureGMime();
    MailRecord record;
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(raw.constData(), size_t(raw.size()));
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    if (!message)
        return record;
    GMimeObject* object = GMIME_OBJECT(message);
    record.subject = decodeHeaderText(rawHeader(object, "Subject"));
    record.sender = decodeHeaderText(rawHeader(object, "From"));
    Bodies bodies;
    collectBodies(g_mime_message_get_mime_part(message), bodies, 0);
    g_object_unref(message);

    if (!bodies.html.isEmpty()) {
        HtmlContent html = htmlToText(bodies.html);
        record.links = std::move(html.links);
        if (bodies.plain.isEmpty())
            record.text = std::move(html.text);
    }
    if (!bodies.plain.isEmpty())
        record.text = QString::fromUtf8(bodies.plain);
    return record;
}

} // namespace tessary::server
