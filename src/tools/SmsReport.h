#pragma once

#include "platform/session/SessionSms.h"

#include <QJsonObject>

namespace tessary::inspect {

// Lets `sms` hear from the phone service: until it is known not to run, or for half a second
// after it answered, time for its phones to be read, at most a second and a half.
void waitForPhones(SessionSms& sms);
// {"source": "kdeconnect", "devices": [{"id", "name", "reachable", "sms", "notifications"}]}, with
// "reason" when no phone relays its messages.
QJsonObject smsStatus(const SessionSms& sms);

} // namespace tessary::inspect
