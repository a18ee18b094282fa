#include "app/UpdateFeed.h"

#include <QVersionNumber>
#include <QXmlStreamReader>

namespace tessary {

namespace {

const QString sparkle = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

// What one item announces. Its versions stand on its enclosure as attributes, or beside it as
// elements of the item (as Sparkle 2 writes them); the first enclosure is the release, any later
// ones (deltas) are not.
struct Announced {
    QString shown; // the version shown to people
    QString build;
    QString download;

    // The version shown to people when given, else the build's.
    QString version() const { return shown.isEmpty() ? build : shown; }
};

void takeFirst(QString& field, QStringView value)
{
    if (field.isEmpty())
        field = value.toString();
}

} // namespace

Expected<std::optional<Release>, QString> newerRelease(const QByteArray& feed, const QString& current)
{
    QXmlStreamReader reader(feed);
    std::optional<Release> newest;
    bool sawChannel = false;
    Announced item;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement && reader.name() == QLatin1String("item")) {
            Release release{item.version(), QUrl(item.download)};
            item = {};
            // The report links the download, and a click opens whatever it names: only a web
            // address is offered, never a local file or another program's scheme.
            const QString scheme = release.download.scheme();
            if (release.version.isEmpty() || !release.download.isValid() ||
                (scheme != QLatin1String("https") && scheme != QLatin1String("http")))
                continue;
            if (!newest ||
                QVersionNumber::fromString(release.version) > QVersionNumber::fromString(newest->version))
                newest = std::move(release);
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == QLatin1String("channel"))
            sawChannel = true;
        if (reader.name() == QLatin1String("enclosure")) {
            const QXmlStreamAttributes attributes = reader.attributes();
            takeFirst(item.download, attributes.value(QStringLiteral("url")));
            takeFirst(item.shown, attributes.value(sparkle, QStringLiteral("shortVersionString")));
            takeFirst(item.build, attributes.value(sparkle, QStringLiteral("version")));
        } else if (reader.namespaceUri() == sparkle && reader.name() == QLatin1String("shortVersionString")) {
            takeFirst(item.shown, reader.readElementText());
        } else if (reader.namespaceUri() == sparkle && reader.name() == QLatin1String("version")) {
            takeFirst(item.build, reader.readElementText());
        }
    }
    if (reader.hasError())
        return Unexpected{QStringLiteral("the feed is not valid XML (%1)").arg(reader.errorString())};
    if (!sawChannel)
        return Unexpected{QStringLiteral("the feed is not an RSS channel")};
    if (newest && QVersionNumber::fromString(newest->version) > QVersionNumber::fromString(current))
        return newest;
    return std::optional<Release>{};
}

} // namespace tessary
