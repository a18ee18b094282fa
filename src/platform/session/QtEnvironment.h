#pragma once

#include "platform/session/DesktopSession.h"

namespace tessary {

// Sets what Qt reads from the environment at its start, for the session `kind`: called before the
// QApplication is made. A value the user set is kept.
//
// sway draws the frame of every window itself, so Qt's own frames never show there. Asking whether
// Qt could draw them loads and starts the EGL stack on the GUI thread when the first window shows
// (about 100 ms at rest), for windows Tessary paints in software anyway.
void setQtEnvironment(DesktopSession::Kind kind);

} // namespace tessary
