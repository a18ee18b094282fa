#pragma once

#include "platform/atspi/AtspiAccessibility.h"

#include <QString>

#include <functional>

#include <memory>

namespace tessary {

class GnomeShell;

// The window system of this session behind the window-in-front seam: sway's IPC on sway, the
// shell extension on GNOME under Wayland, the X11 window manager everywhere else.
std::unique_ptr<Frontmost> makeSessionFrontmost();
// The connection to GNOME Shell's extension that every service of a GNOME session shares.
std::shared_ptr<GnomeShell> sessionGnomeShell();
// AT-SPI over this session's window system, for tessary, tessary-inspect and the benchmarks alike.
std::unique_ptr<AtspiAccessibility> makeSessionAccessibility();
// Whether this session can type keys at all: through XTest on X11, a virtual keyboard on sway.
bool sessionCanType();
// One sentence on what this session lacks; empty when everything works.
QString sessionProblem();
// For command-line tools, which ask once and at once: waits until GNOME's shell extension
// answered, or was found missing, in a GNOME session; then says what is missing, empty when
// nothing (also in every other session).
QString settleSession();
// What a GNOME session without Tessary's shell extension lacks, and how to turn it on.
QString gnomeExtensionMissing();
// What else than accessibility this session needs turned on, turned on: on GNOME under Wayland
// Tessary's shell extension. `note` runs from the event loop with a sentence for the user (empty
// when there was nothing to do), unless `context` is gone by then.
void enableSessionHelpers(QObject* context, std::function<void(QString)> note);

} // namespace tessary
