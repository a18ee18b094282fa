#pragma once

#include "platform/atspi/AtspiVocabulary.h"

#include <QString>

#include <optional>

namespace tessary {

// The window in front as KWin's script reports it, in top-left screen pixels: the frame is the
// window as the user sees it, the buffer the whole surface (a client-drawn shadow included).
struct KwinWindow {
    qint64 pid = 0;
    QString resourceClass;
    atspi::Extents frame;
    atspi::Extents buffer;
};

// Reads one report of the script (JSON); none for an empty report (no window in front) and for
// anything malformed.
std::optional<KwinWindow> parseKwinWindow(const QString& report);

} // namespace tessary
