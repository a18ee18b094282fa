#pragma once

#include "screen/Accessibility.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

namespace tessary {

// How the desktop draws a chip of Qt's size: as Qt measures it, or that size times the pixel ratio
// of the screen it stands on, in that screen's pixels (a desktop laying its monitors out in device
// pixels, which Qt's screens are then measured in).
enum class ChipDrawing { asQtSizes, atScreenRatio };

// Where a chip of `size` (Qt's pixels) goes among the desktop's screens: under `target` (screen
// pixels, as the accessibility layer gives frames), or by `pointer` (Qt's pixels) when there is
// none; in Qt's pixels, to place its window with. The two differ where Qt scales its windows on
// X11; the arithmetic holds whatever screen is primary. It fits the chip as `drawing` draws it.
QRect chipFrameOnDesktop(QSize size, const std::optional<Rect>& target, QPoint pointer, ChipDrawing drawing);

} // namespace tessary
