#pragma once

#include "screen/Accessibility.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace tessary {

// Where a chip of `size` (Qt's pixels) goes among the desktop's screens: under `target` (screen
// pixels, as the accessibility layer gives frames), or by `pointer` (Qt's pixels) when there is
// none; in Qt's pixels, to place its window with. The two differ where Qt scales its windows on
// X11; the arithmetic holds whatever screen is primary.
QRect chipFrameOnDesktop(QSize size, const std::optional<Rect>& target, QPoint pointer);

} // namespace tessary
