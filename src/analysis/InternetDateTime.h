#pragma once

#include "common/TimePoint.h"

#include <QString>

#include <optional>

namespace tessary {

// Reads an ISO 8601 internet date-time as the backend sends it: "2026-12-06T10:15:00Z" or
// "2026-12-06T11:15:00+01:00" (date, "T", time, zone; no fractional seconds). Anything else,
// including an impossible date such as February 30, is none.
std::optional<TimePoint> parseInternetDateTime(QStringView text);

// A message's arrival time: the parsed text, or the distant past when it is missing or unreadable.
TimePoint receivedTime(const std::optional<QString>& receivedAt);

} // namespace tessary
