#pragma once

#include "common/Records.h"
#include "common/TimePoint.h"

#include <QHash>

namespace tessary {

// The text messages the phones received lately, each once. A phone's companion service relays the
// same message again when the phone reconnects or is asked for its threads, and relays sent and
// old ones too: only received messages of the last `keep` seconds are kept.
class SmsInbox {
public:
    explicit SmsInbox(TimePoint keep = 600)
        : m_keep(keep)
    {
    }

    // Keeps `message` unless it was sent, is older than the window or was kept before; true when
    // it is new. Forgets messages that left the window.
    bool add(const SmsMessage& message, TimePoint now);
    // The kept messages dated after `since`, oldest first, as messages the code finder ranks.
    QList<Message> since(TimePoint since) const;

private:
    TimePoint m_keep;
    QHash<QString, SmsMessage> m_messages; // by smsAsMessage's id: device, thread, message
};

// A text message as the code finder reads it: the number as sender, the phone's name beside it.
Message smsAsMessage(const SmsMessage& message);
TimePoint smsTime(const SmsMessage& message);

} // namespace tessary
