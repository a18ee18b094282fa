#include "screen/FrameWait.h"

namespace tessary {

QCoro::Task<> waitForFrame(Accessibility& accessibility, Clock& clock, Element element, Timings timings)
{
    for (int poll = 0; poll < timings.pendingFramePolls && accessibility.framePending(element); ++poll)
        co_await clock.sleep(timings.pendingFramePoll);
}

} // namespace tessary
