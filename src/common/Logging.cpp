#include "common/Logging.h"

namespace tessary {

Q_LOGGING_CATEGORY(logAtspi, "tessary.atspi", QtWarningMsg)
Q_LOGGING_CATEGORY(logX11, "tessary.x11", QtWarningMsg)
Q_LOGGING_CATEGORY(logSway, "tessary.sway", QtWarningMsg)
Q_LOGGING_CATEGORY(logKwin, "tessary.kwin", QtWarningMsg)
Q_LOGGING_CATEGORY(logGnome, "tessary.gnome", QtWarningMsg)
Q_LOGGING_CATEGORY(logWayland, "tessary.wayland", QtWarningMsg)
Q_LOGGING_CATEGORY(logDesktop, "tessary.desktop", QtWarningMsg)
Q_LOGGING_CATEGORY(logBackend, "tessary.backend", QtWarningMsg)
Q_LOGGING_CATEGORY(logState, "tessary.state", QtWarningMsg)

} // namespace tessary
