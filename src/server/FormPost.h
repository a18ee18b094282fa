#pragma once

#include "server/Wakeup.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>
#include <utility>

namespace tessary::server {

struct FormReply {
    int status = 0;
    QByteArray body;
};

// POSTs form fields to `url` and reads the reply, all within `within`. Over https the certificate
// is checked against the system's authorities (and those in `caFile`, when given) and the URL's
// host name. Nothing when the service could not be reached or did not answer in time, or `stop`
// was raised: that ends the wait at once.
std::optional<FormReply> postForm(const QUrl& url, const QList<std::pair<QByteArray, QByteArray>>& fields,
                                  const QString& caFile, std::chrono::seconds within,
                                  const WakeFlag* stop = nullptr);

} // namespace tessary::server
