#include "backend/HttpExchange.h"

#include <QCoro/QCoroNetworkReply>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace tessary {

namespace {

enum class StopReason { none, timedOut, tooLarge, cancelled };

struct DeleteLater {
    void operator()(QObject* object) const { object->deleteLater(); }
};

// Failures below the HTTP layer. Content and server error codes only restate the HTTP status,
// which the caller reads itself.
bool isTransportFailure(QNetworkReply::NetworkError error)
{
    const int code = int(error);
    return (code >= 1 && code <= 199) || (code >= 301 && code <= 399);
}

// Aborts from the event loop rather than from inside a signal: abort() finishes the reply at
// once, which resumes and may end the waiting coroutine, whose frame owns the signal's sender.
void abortSoon(QNetworkReply* reply)
{
    QMetaObject::invokeMethod(reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

} // namespace

BackendError cancelledError()
{
    return {0, QStringLiteral("The request was cancelled.")};
}

QCoro::Task<BackendResult<HttpReply>> exchangeHttp(QNetworkAccessManager& network, QNetworkRequest request,
                                                   QByteArray method, QByteArray body, HttpLimits limits,
                                                   CancelToken cancel)
{
    if (isCancelled(cancel))
        co_return Unexpected{cancelledError()};

    std::unique_ptr<QNetworkReply, DeleteLater> reply(network.sendCustomRequest(request, method, body));
    QNetworkReply* const raw = reply.get();
    StopReason stop = StopReason::none;
    // Context of every connection below: destroyed with this frame, so no signal reaches it later.
    QObject watcher;

    auto stopWith = [raw, &stop](StopReason reason) {
        if (stop == StopReason::none)
            stop = reason;
        abortSoon(raw);
    };
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &watcher, [&stopWith] { stopWith(StopReason::timedOut); });
    deadline.start(limits.timeout);
    if (cancel)
        QObject::connect(cancel.get(), &CancelFlag::cancelled, &watcher,
                         [&stopWith] { stopWith(StopReason::cancelled); });
    QObject::connect(raw, &QNetworkReply::metaDataChanged, &watcher, [raw, limits, &stopWith] {
        const QVariant length = raw->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > limits.maxReplyBytes)
            stopWith(StopReason::tooLarge);
    });
    QObject::connect(raw, &QNetworkReply::readyRead, &watcher, [raw, limits, &stopWith] {
        if (raw->bytesAvailable() > limits.maxReplyBytes)
            stopWith(StopReason::tooLarge);
    });

    if (!raw->isFinished())
        co_await qCoro(raw).waitForFinished();

    if (stop == StopReason::cancelled || isCancelled(cancel))
        co_return Unexpected{cancelledError()};
    if (stop == StopReason::timedOut)
        co_return Unexpected{BackendError{0, QStringLiteral("The request timed out.")}};
    const auto tooLarge = [&limits] {
        return BackendError{0, QStringLiteral("The server's reply is larger than %1 MB.")
                                   .arg(limits.maxReplyBytes / (1024 * 1024))};
    };
    if (stop == StopReason::tooLarge)
        co_return Unexpected{tooLarge()};
    // Qt files some statuses (400 among them) under its protocol errors; a reply that carries an
    // HTTP status is still the server's answer, and its body says what went wrong.
    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool protocolError = int(raw->error()) >= 301 && int(raw->error()) <= 399;
    if (isTransportFailure(raw->error()) && !(protocolError && status.isValid()))
        co_return Unexpected{BackendError{0, raw->errorString()}};
    const QByteArray data = raw->readAll();
    if (data.size() > limits.maxReplyBytes)
        co_return Unexpected{tooLarge()};

    co_return HttpReply{status.isValid() ? status.toInt() : 0, data};
}

} // namespace tessary
