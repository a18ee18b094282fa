#pragma once

#include "screen/Accessibility.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>
#include <optional>

class QScreen;

namespace tessary {

// How the desktop draws a chip of Qt's size on a screen: the ratio of its size there, in that
// screen's pixels, to Qt's size.
using ChipDrawing = std::function<qreal(const QScreen& screen)>;
// As Qt measures it.
qreal chipAsQtSizes(const QScreen& screen);
// Qt's size times the screen's pixel ratio (a desktop laying its monitors out in device pixels,
// which Qt's screens are then measured in).
qreal chipAtScreenRatio(const QScreen& screen);

// Where a chip of `size` (Qt's pixels) goes among the desktop's screens: under `target` (screen
// pixels, as the accessibility layer gives frames), or by `pointer` (Qt's pixels) when there is
// none; in Qt's pixels, to place its window with. The two differ where Qt scales its windows on
// X11; the arithmetic holds whatever screen is primary. It fits the chip as `drawing` draws it.
QRect chipFrameOnDesktop(QSize size, const std::optional<Rect>& target, QPoint pointer,
                         const ChipDrawing& drawing);

} // namespace tessary
