#pragma once

#include <QLoggingCategory>

namespace tessary {

// "<app id>.burst", on at info level by default: one line per code or link found, with how long
// each phase took. Nothing else of the engine is logged; never a token, never a message.
Q_DECLARE_LOGGING_CATEGORY(burstLog)

} // namespace tessary
