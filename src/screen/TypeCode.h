#pragma once

#include "engine/Clock.h"
#include "screen/Accessibility.h"
#include "screen/Keyboard.h"

#include <QCoro/QCoroTask>
#include <QHash>

#include <chrono>
#include <optional>

namespace tessary {

// The key each character of a code sits on (a US layout, as macOS virtual key codes), keyed by the
// upper-case character. Only a hint for the platform: the character typed is the event's text.
const QHash<QString, int>& typingKeyCodes();

// The waits of typing. A field that takes the whole code gets one probe, then a steady pace; a row
// of one-character boxes gets each character once the page has moved the focus to the next box.
namespace typing {
using namespace std::chrono_literals;
inline constexpr std::chrono::nanoseconds modifierPoll = 20ms; // while the hot key is still held
inline constexpr int modifierPolls = 50;                       // so at most 1 s
inline constexpr std::chrono::nanoseconds focusPoll = 10ms;    // watching for the focus to move
inline constexpr int focusPolls = 30;                          // so at most 300 ms per character
inline constexpr std::chrono::nanoseconds boxSettle = 25ms;    // for the page after the focus moved
inline constexpr std::chrono::nanoseconds fieldPace = 15ms;    // between characters of one field
} // namespace typing

// Types `code` into the focused field (focusing `element` first when given), one key press and
// release per character. Never fails; returns when the last character has been posted. The
// references must outlive the task.
QCoro::Task<> typeCode(Accessibility& accessibility, Keyboard& keyboard, Clock& clock, QString code,
                       std::optional<Element> element = std::nullopt);

} // namespace tessary
