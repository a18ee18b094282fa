#pragma once

#include "screen/Accessibility.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace tessary {

// Where a chip of `size` goes among the desktop's screens, as Qt knows them: under `target`, or by
// `pointer` when there is none. Qt's screen geometry and the accessibility layer's frames share
// one space, the window system's screen pixels, whatever screen is primary.
QRect chipFrameOnDesktop(QSize size, const std::optional<Rect>& target, QPoint pointer);

} // namespace tessary
