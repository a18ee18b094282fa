#pragma once

#include "platform/atspi/AtspiAccessibility.h"

#include <QString>

#include <memory>

namespace tessary {

// The window system of this session behind the window-in-front seam: sway's IPC on sway, the X11
// window manager everywhere else.
std::unique_ptr<Frontmost> makeSessionFrontmost();
// AT-SPI over this session's window system, for tessary, tessary-inspect and the benchmarks alike.
std::unique_ptr<AtspiAccessibility> makeSessionAccessibility();
// Whether this session can type keys at all: through XTest on X11, a virtual keyboard on sway.
bool sessionCanType();
// One sentence on what this session lacks; empty when everything works.
QString sessionProblem();

} // namespace tessary
