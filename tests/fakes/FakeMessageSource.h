#pragma once

#include "analysis/MessageSource.h"

namespace tessary::test {

// A message source that answers with a fixed list, or fails, and remembers what it was asked.
class FakeMessageSource : public MessageSource {
public:
    QList<Message> reply;
    std::optional<BackendError> failure;
    QList<TimePoint> askedSince;

    QCoro::Task<BackendResult<QList<Message>>> messages(TimePoint since, CancelToken = {}) override
    {
        askedSince.append(since);
        if (failure)
            co_return Unexpected{*failure};
        co_return reply;
    }
};

} // namespace tessary::test
