#pragma once

#include <QList>
#include <QString>
#include <QUrl>

namespace tessary {

// A web link found in plain text: where it stands (UTF-16 units) and the address it leads to.
struct DetectedLink {
    QUrl url;
    qsizetype start = 0;
    qsizetype length = 0;
    friend bool operator==(const DetectedLink&, const DetectedLink&) = default;
};

// Finds the http, https and "www." links of a plain-text mail body, in text order. A link ends at
// white space, quotes or angle brackets; punctuation that ends a sentence or closes a bracket
// around it ("see https://a.example/x." or "(https://a.example/x)") is not part of it, while a
// bracket the link itself opened is ("https://en.example.org/wiki/Tea_(drink)"). A link in angle
// brackets that the mail wrapped runs on over the line breaks to its closing bracket. A "www."
// link leads to http, as a browser would take it.
QList<DetectedLink> detectLinks(const QString& text);

} // namespace tessary
