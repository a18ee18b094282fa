#pragma once

#include "common/BackendError.h"
#include "common/Cancellation.h"
#include "common/Records.h"
#include "common/TimePoint.h"

#include <QCoro/QCoroTask>

namespace tessary {

// Where the code finder gets its mail: the messages received since a point in time, or the
// failure that stands in their place. The backend client is the real source. A cancelled call
// ends early with a failure the caller drops.
class MessageSource {
public:
    virtual ~MessageSource() = default;
    virtual QCoro::Task<BackendResult<QList<Message>>> messages(TimePoint since, CancelToken cancel = {}) = 0;
};

} // namespace tessary
