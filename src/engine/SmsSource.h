#pragma once

#include "common/Records.h"
#include "common/TimePoint.h"

#include <QObject>

namespace tessary {

// The text messages the user's paired phones receive, relayed by a companion service on the
// desktop. Reading them never changes them on the phone. Main thread only.
class SmsSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The received messages dated after `since`, each once, as the code finder reads them.
    virtual QList<Message> received(TimePoint since) const = 0;

signals:
    // A received message that was not relayed before.
    void arrived();
};

} // namespace tessary
