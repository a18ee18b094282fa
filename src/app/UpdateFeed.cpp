#include "app/UpdateFeed.h"

#include <QVersionNumber>
#include <QXmlStreamReader>

namespace tessary {

namespace {

const QString sparkle = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

// The version an enclosure announces: the one shown to people when given, else the build's.
QString versionOf(const QXmlStreamAttributes& attributes)
{
    const QString shown = attributes.value(sparkle, QStringLiteral("shortVersionString")).toString();
    return shown.isEmpty() ? attributes.value(sparkle, QStringLiteral("version")).toString() : shown;
}

} // namespace

Expected<std::optional<Release>, QString> newerRelease(const QByteArray& feed, const QString& current)
{
    QXmlStreamReader reader(feed);
    std::optional<Release> newest;
    bool sawChannel = false;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == QLatin1String("channel"))
            sawChannel = true;
        if (reader.name() != QLatin1String("enclosure"))
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        Release release{versionOf(attributes), QUrl(attributes.value(QStringLiteral("url")).toString())};
        if (release.version.isEmpty() || !release.download.isValid())
            continue;
        if (!newest ||
            QVersionNumber::fromString(release.version) > QVersionNumber::fromString(newest->version))
            newest = std::move(release);
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
