#pragma once

#include "screen/Accessibility.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace tessary {

// Where a chip of `size` goes among the desktop's screens, as Qt knows them, in Qt's top-left
// coordinates: under `target` (a bottom-left rectangle, as the accessibility layer reports it), or
// by `pointer` (top-left) when there is none.
QRect chipFrameOnDesktop(QSize size, const std::optional<Rect>& target, QPoint pointer);

} // namespace tessary
