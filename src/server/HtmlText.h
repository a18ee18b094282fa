#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace tessary::server {

struct HtmlLink {
    QString url;
    QString text; // what the reader sees, whitespace collapsed, possibly empty
};

struct HtmlContent {
    QString text;
    QList<HtmlLink> links;
};

// The readable text of an HTML body and its <a href> links. Parsed offline (the parser never
// fetches anything); scripts, styles and the head are dropped; block elements become line breaks.
HtmlContent htmlToText(const QByteArray& utf8Html);

} // namespace tessary::server
