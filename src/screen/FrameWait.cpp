#include "screen/FrameWait.h"

namespace tessary {

QCoro::Task<> waitForFrame(ElementTree& tree, Clock& clock, Element element, Timings timings)
{
    for (int poll = 0; poll < timings.pendingFramePolls && tree.framePending(element); ++poll)
        co_await clock.sleep(timings.pendingFramePoll);
}

} // namespace tessary
