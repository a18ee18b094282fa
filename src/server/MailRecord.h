#pragma once

#include "server/HtmlText.h"

#include <QByteArray>
#include <QString>

namespace tessary::server {

// What the client needs of one e-mail: who sent it, its subject, its text and its links.
struct MailRecord {
    QString subject;
    QString sender;
    QString text;
    QList<HtmlLink> links; // from the HTML body; a plain-text body's links are the client's to find
};

// Reads a raw RFC 5322 message with GMime: transfer encodings, charsets, multipart bodies and
// encoded-word headers. The plain-text body is preferred; an HTML-only message is turned into
// text. Malformed input yields whatever could be read, never a failure.
MailRecord readMail(const QByteArray& raw);

} // namespace tessary::server
