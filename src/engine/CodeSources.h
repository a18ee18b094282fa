#pragma once

namespace tessary {

class AppState;
class SmsSource;

// Whether a paired phone brings codes now: "Codes from my phone's messages" is on and a reachable
// phone relays its text messages or its messages app's notifications.
bool phoneBringsCodes(const AppState& state, const SmsSource* phones);

// Whether codes have somewhere to come from: an active inbox, or a phone that brings them.
bool hasCodeSource(const AppState& state, const SmsSource* phones);

// At a launch after a finished onboarding, or a second launch: whether its setup is kept, lost
// (onboarding again), or not known until the phone service answers. `phoneBroughtCodes`: codes
// came from a paired phone at some earlier time.
enum class SetupAtLaunch { kept, lost, unknown };
SetupAtLaunch setupAtLaunch(const AppState& state, const SmsSource* phones, bool phoneBroughtCodes);

} // namespace tessary
