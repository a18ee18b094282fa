#pragma once

#include "common/Clock.h"
#include "common/Timings.h"
#include "screen/ElementTree.h"

#include <QCoro/QCoroTask>

namespace tessary {

// Waits, without blocking the main thread, until a field that has just taken the focus knows its
// frame, for at most `pendingFramePolls` polls. Classifying it before would turn a real code field
// away for want of a width to judge. The references must outlive the task.
QCoro::Task<> waitForFrame(ElementTree& tree, Clock& clock, Element element, Timings timings = {});

} // namespace tessary
