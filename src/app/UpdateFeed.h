#pragma once

#include "common/Expected.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

namespace tessary {

// A release announced by the update feed.
struct Release {
    QString version; // as shown: "0.2.0"
    QUrl download;
    friend bool operator==(const Release&, const Release&) = default;
};

// Reads an appcast feed (RSS whose items carry an <enclosure url=…> and the versions
// sparkle:version and sparkle:shortVersionString, on the enclosure or as elements of the item)
// and returns its newest release with a web address to download from when that is newer than
// `current`; none when this version is the newest. A feed that is not such RSS is an error that
// says what is wrong with it.
Expected<std::optional<Release>, QString> newerRelease(const QByteArray& feed, const QString& current);

} // namespace tessary
