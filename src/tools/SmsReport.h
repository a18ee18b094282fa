#pragma once

#include "platform/session/SessionSms.h"

#include <QJsonObject>

namespace tessary::inspect {

// Lets `sms` hear from the phone service: until it named its phones and read what they hold,
// or a second and a half passed.
void waitForPhones(SessionSms& sms);
// {"source": "kdeconnect", "devices": [{"id", "name"}]}, with "reason" when there is none.
QJsonObject smsStatus(const SessionSms& sms);

} // namespace tessary::inspect
