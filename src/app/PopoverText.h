#pragma once

#include "common/TimePoint.h"

#include <QString>

#include <optional>

namespace tessary {

class AppState;
class SmsSource;

// The popover's wording and the pause arithmetic, apart from its widgets.
namespace popover {

enum class Header { notSetUp, paused, watching };

// The first header case that holds for the state, where `phones` may bring codes too.
Header headerFor(const AppState& state, const SmsSource* phones);

// What is watched: the inboxes, or without one the phones that bring codes.
QString watchedText(const AppState& state, const SmsSource* phones);

// "0s" .. "59s", "1m" .. "59m", "1h" .. "23h", then whole days; a future `received` counts as now.
QString ageText(TimePoint received, TimePoint now);

// "Paused until " and the time alone in the locale's short style.
QString pausedUntilText(TimePoint until);

// "Codes you receive will show up here.", with the shortcut hint when a shortcut is on.
QString emptyText(const AppState& state);

// The three pause choices, in menu order, and when each one ends given `now`.
enum class Pause { quarterHour, hour, untilTomorrow };
TimePoint pauseEnd(Pause choice, TimePoint now);
QString pauseTitle(Pause choice);

} // namespace popover

} // namespace tessary
