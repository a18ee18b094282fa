#pragma once

#include <QIcon>

namespace tessary {

class AppState;
class SmsSource;

// What the tray icon says at a glance.
enum class TrayStatus { ready, paused, needsSetup };

// Ready (an active inbox or a phone that brings codes, and accessibility) and not paused, ready
// and paused, or not ready.
TrayStatus trayStatusFor(const AppState& state, const SmsSource* phones);

// Our own drawings: a square with a number sign, a rectangle with pause bars, a square with an
// exclamation mark; orange in a developer build so the two builds tell apart in the tray.
QIcon trayIcon(TrayStatus status, bool developerBuild);

// The application's own icon, the one installed for the launcher.
QIcon applicationIcon();

} // namespace tessary
