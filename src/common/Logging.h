#pragma once

#include <QLoggingCategory>

namespace tessary {

// One category per subsystem, "tessary.<subsystem>". A failure that is otherwise handled quietly
// (a refused keyring, a D-Bus error, a Trash that did not happen) leaves one warning line saying
// what failed; anything else is debug output, off unless asked for
// (QT_LOGGING_RULES="tessary.*.debug=true"). No code, token, password or message text is logged.
Q_DECLARE_LOGGING_CATEGORY(logAtspi)
Q_DECLARE_LOGGING_CATEGORY(logX11)
Q_DECLARE_LOGGING_CATEGORY(logSway)
Q_DECLARE_LOGGING_CATEGORY(logKwin)
Q_DECLARE_LOGGING_CATEGORY(logGnome)
Q_DECLARE_LOGGING_CATEGORY(logWayland)
Q_DECLARE_LOGGING_CATEGORY(logDesktop)
Q_DECLARE_LOGGING_CATEGORY(logBackend)
Q_DECLARE_LOGGING_CATEGORY(logState)

} // namespace tessary
