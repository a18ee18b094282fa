#pragma once

#include "platform/session/SessionSms.h"

#include <QJsonObject>

namespace tessary::inspect {

// Lets `sms` hear from the phone service: until it is known not to run or, when it runs, for
// half a second (its phones' names, plugins and held messages come in later replies), at most a
// second and a half.
void waitForPhones(SessionSms& sms);
// {"source": "kdeconnect", "devices": [{"id", "name", "reachable", "sms", "notifications"}]}, with
// "reason" when no phone relays its messages.
QJsonObject smsStatus(const SessionSms& sms);

} // namespace tessary::inspect
