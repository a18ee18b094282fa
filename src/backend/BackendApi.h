#pragma once

#include "analysis/MessageSource.h"
#include "common/BackendError.h"
#include "common/Records.h"

#include <QSet>
#include <QUrl>

namespace tessary {

// The sign-in page of a new inbox and the id the inbox will have once the user finishes there.
struct ConnectLink {
    QUrl url;
    QString accountId;
};

// The backend's endpoints. The HTTPS client implements it; the application state, the engine and
// tessary-inspect hold it through this interface so tests can put a fake in its place.
class BackendApi : public MessageSource {
public:
    virtual QCoro::Task<BackendResult<QList<Account>>> accounts(CancelToken cancel = {}) = 0;
    virtual QCoro::Task<BackendResult<ConnectLink>> connect(QString provider, CancelToken cancel = {}) = 0;
    virtual QCoro::Task<BackendResult<Account>> addIMAP(QString email, QString password, QString host,
                                                        CancelToken cancel = {}) = 0;
    virtual QCoro::Task<BackendResult<Done>> removeAccount(QString accountId, CancelToken cancel = {}) = 0;
    virtual QCoro::Task<BackendResult<QSet<QString>>> messageIds(TimePoint since,
                                                                 CancelToken cancel = {}) = 0;
    virtual QCoro::Task<BackendResult<Done>> trash(QString messageId, CancelToken cancel = {}) = 0;
};

} // namespace tessary
