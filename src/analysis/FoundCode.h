#pragma once

#include "common/TimePoint.h"

#include <QString>

#include <optional>

namespace tessary {

// A code taken from an e-mail, as the chip, the popover and the recent list show it.
struct FoundCode {
    QString code;         // as typed: digits only for numeric codes; alphanumeric ones keep their dash
    QString sender;       // the message's sender text as delivered
    QString senderDomain; // senderSiteDomain of the sender; for a text message, the site it binds its code to
    TimePoint received = distantPast;
    qint64 score = 0; // extraction score, plus 100 when the sender belongs to the site
    std::optional<QString> messageId;
    std::optional<QString> phone = std::nullopt; // the phone's name when the code came in a text message

    // Where the code came from, as the chip and the popover name it: the sender's domain, or
    // "SMS on Pixel 7" for a text message.
    QString origin() const;
    // Six or more digits read in two halves: "123 456", "123 4567"; anything else unchanged.
    QString display() const;

    friend bool operator==(const FoundCode&, const FoundCode&) = default;
};

} // namespace tessary
