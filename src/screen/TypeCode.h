#pragma once

#include "common/Clock.h"
#include "common/Timings.h"
#include "screen/FocusInFront.h"
#include "screen/Keyboard.h"

#include <QCoro/QCoroTask>

#include <optional>

namespace tessary {

// Types `code` into the focused field (focusing `element` first when given), one key press and
// release per character: a field that takes the whole code at a steady pace, a row of one-character
// boxes a character each time the page has moved the focus on. Never fails; returns when the last
// character has been posted. The references must outlive the task.
QCoro::Task<> typeCode(FocusInFront& focus, Keyboard& keyboard, Clock& clock, QString code,
                       std::optional<Element> element = std::nullopt, Timings timings = {});

} // namespace tessary
