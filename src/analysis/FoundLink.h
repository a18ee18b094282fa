#pragma once

#include "common/TimePoint.h"

#include <QString>
#include <QUrl>

#include <optional>

namespace tessary {

// A sign-in or confirmation link taken from an e-mail.
struct FoundLink {
    enum class Kind { signIn, confirm };

    QUrl url;
    Kind kind = Kind::signIn;
    QString senderDomain; // senderSiteDomain of the message's sender
    TimePoint received = distantPast;
    bool trusted = false; // both the sender and the link belong to the site
    std::optional<QString> messageId;

    friend bool operator==(const FoundLink&, const FoundLink&) = default;
};

// "signIn" / "confirm", the names tessary-inspect reads and writes; none for any other text.
QString kindName(FoundLink::Kind kind);
std::optional<FoundLink::Kind> kindFromName(QStringView name);

} // namespace tessary
