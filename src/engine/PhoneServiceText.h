#pragma once

#include "engine/SmsSource.h"

namespace tessary {

// What to tell the user about the phone service: whether a phone relays codes now and, if not,
// why and how to mend it.
struct PhoneServiceText {
    QString sentence;
    bool relaying = false; // a reachable phone relays, or may relay, its text messages or its notifications
};

// "Pixel 7 is paired and reachable.", or the one reason none is: KDE Connect not installed or not
// running, no paired phone, the phone not reachable, or a phone that sends no text messages.
PhoneServiceText describePhoneService(const PhoneService& service);

} // namespace tessary
