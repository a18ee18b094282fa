#pragma once

#include "common/Expected.h"

#include <QString>

namespace tessary {

// Every way a backend call can fail: an HTTP status other than 200, a transport failure, a reply
// that does not match its record, an unusable backend address. `message` is exactly what the user
// is shown; `status` is the HTTP status, 0 when there was no HTTP reply.
struct BackendError {
    int status = 0;
    QString message;

    QString description() const { return message; }
    friend bool operator==(const BackendError&, const BackendError&) = default;
};

template <class T>
using BackendResult = Expected<T, BackendError>;

} // namespace tessary
