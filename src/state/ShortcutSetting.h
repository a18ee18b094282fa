#pragma once

#include "common/SettingsStore.h"
#include "hotkey/Shortcut.h"

#include <optional>

namespace tessary {

namespace settingKey {
inline const QString shortcut = QStringLiteral("shortcut");
inline const QString autoFillOnMatch = QStringLiteral("autoFillOnMatch");
inline const QString deleteAfterUse = QStringLiteral("deleteAfterUse");
inline const QString smsCodes = QStringLiteral("smsCodes");
// Codes once came from a paired phone: a setup without an inbox rests on it.
inline const QString phoneBroughtCodes = QStringLiteral("phoneBroughtCodes");
inline const QString email = QStringLiteral("email");
inline const QString onboarded = QStringLiteral("onboarded");
inline const QString launchAtLoginDefaultApplied = QStringLiteral("launchAtLoginDefaultApplied");
} // namespace settingKey

// The stored fill shortcut: none when the user switched it off ({"off": true}); the default for an
// absent, incomplete or malformed record, never "off" by accident.
std::optional<Shortcut> loadShortcut(const SettingsStore& settings);

// Stores {"keyCode", "modifiers", "key"}, or {"off": true} for none.
void storeShortcut(SettingsStore& settings, const std::optional<Shortcut>& shortcut);

} // namespace tessary
