#pragma once

namespace tessary {

// A point in time as seconds since 1970-01-01 00:00 UTC, the unit the backend speaks ("since").
using TimePoint = double;

// The time given to a message that has none: far before any real message, so such messages
// sort after dated ones of the same score. The same instant as the year-1 "distant past" of
// other platforms, so list identities built from it read the same everywhere.
inline constexpr TimePoint distantPast = -62135769600.0;

} // namespace tessary
