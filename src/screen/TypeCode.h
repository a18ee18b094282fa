#pragma once

#include "common/Clock.h"
#include "common/Timings.h"
#include "screen/Accessibility.h"
#include "screen/Keyboard.h"

#include <QCoro/QCoroTask>

#include <optional>

namespace tessary {

// Types `code` into the focused field (focusing `element` first when given), one key press and
// release per character: a field that takes the whole code at a steady pace and only while it keeps
// the focus, a row of one-character boxes a character each time the page has moved the focus on. A
// field several times wider than high takes the whole code; of a narrower one the first character
// tells, by whether the page moves the focus: to the next box of the row, which a box of a row the
// page shows is given longer to do, or off the row, which stops the typing as the user's own move
// would. A character the keyboard's layout lacks goes in
// another way than the keys: in one field it is typed once the field shows every character before
// it, and the next once the field shows it. Returns when the last character has been posted or the
// field lost the focus. A code the keyboard cannot type whole is not begun: the result is then the
// first character it lacks. The references must outlive the task.
QCoro::Task<std::optional<QString>> typeCode(Accessibility& accessibility, Keyboard& keyboard, Clock& clock,
                                             QString code, std::optional<Element> element = std::nullopt,
                                             Timings timings = {});

} // namespace tessary
