#include "engine/BurstLog.h"

namespace tessary {

Q_LOGGING_CATEGORY(burstLog, TESSARY_APP_ID ".burst", QtInfoMsg)

} // namespace tessary
