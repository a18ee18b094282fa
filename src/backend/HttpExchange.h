#pragma once

#include "common/BackendError.h"
#include "common/Cancellation.h"

#include <QCoro/QCoroTask>
#include <QNetworkRequest>

#include <chrono>

class QNetworkAccessManager;

namespace tessary {

// The bounds every backend exchange runs under.
struct HttpLimits {
    std::chrono::milliseconds timeout = std::chrono::seconds(15); // the whole exchange, not idle time
    qint64 maxReplyBytes = 16 * 1024 * 1024;
};

// An HTTP reply read in full: any status, as the server sent it.
struct HttpReply {
    int status = 0;
    QByteArray body;
};

// Sends one request and reads the whole reply. Every way the exchange can fail without an HTTP
// status (refused, reset, closed mid-body, TLS failure, time-out, a reply over the size cap, a
// cancel) is a BackendError with status 0 and a message for the user. A cancel aborts the reply
// in flight; the result is then only a marker the caller drops.
QCoro::Task<BackendResult<HttpReply>> exchangeHttp(QNetworkAccessManager& network, QNetworkRequest request,
                                                   QByteArray method, QByteArray body, HttpLimits limits,
                                                   CancelToken cancel);

BackendError cancelledError();

} // namespace tessary
