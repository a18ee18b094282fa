#include "fakes/FakeMessageSource.h"

namespace tessary::test {

QCoro::Task<BackendResult<QList<Message>>> FakeMessageSource::messages(TimePoint since, CancelToken)
{
    askedSince.append(since);
    if (failure)
        co_return Unexpected{*failure};
    co_return reply;
}

} // namespace tessary::test
