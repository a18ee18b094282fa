#pragma once

#include "platform/atspi/AtspiAccessibility.h"

#include <memory>

namespace tessary::inspect {

// The desktop's own accessibility for the live commands. Says on stderr what is missing (neither an X11
// nor a sway session, accessibility switched off, no accessibility bus) and gives null when it cannot work.
// `offHint` finishes the warning printed when accessibility is switched off.
// Waits until the window in front is known.
std::unique_ptr<AtspiAccessibility> openLiveAccessibility(const QString& offHint);

// Runs the event loop until the window system has said which window is in front, for at most 2 s.
void waitUntilKnown(Frontmost& frontmost);

} // namespace tessary::inspect
