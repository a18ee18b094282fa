#pragma once

#include <QString>

#include <functional>

class QObject;

namespace tessary {

// Turns Tessary's shell extension on: in GNOME's settings, so every later session loads it, and in
// the running shell through its Extensions service. The shell looks for extensions only when it
// starts, so one installed after that loads only after the user logs out and in once. `done` runs
// from the event loop with whether the running shell has it on now, unless `context` is gone.
void enableGnomeExtension(QObject* context, std::function<void(bool running)> done);

// The extension's id, as GNOME names it.
inline const QString gnomeExtensionUuid = QStringLiteral("tessary@tessary.com");

} // namespace tessary
