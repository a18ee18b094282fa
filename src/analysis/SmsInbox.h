#pragma once

#include "common/Records.h"
#include "common/TimePoint.h"

#include <QHash>

namespace tessary {

// The text messages the phones received lately, each once. A phone's companion service relays the
// same message again when the phone reconnects or is asked for its threads, and relays sent and
// old ones too: only received messages of the last `keep` seconds are kept. A message's identity
// outlives it: a messages app's notification, dated when it arrives, comes again as long as it
// stands on the phone (a reminder, an update), and must never turn into a new message.
class SmsInbox {
public:
    explicit SmsInbox(TimePoint keep = 600)
        : m_keep(keep)
    {
    }

    // Keeps `message` unless it was sent, is older than the window or was seen before; true when
    // it is new. Forgets messages that left the window, and identities unseen for a day.
    bool add(const SmsMessage& message, TimePoint now);
    // The kept messages dated after `since`, less a phone clock's lag, oldest first, as messages
    // the code finder ranks.
    QList<Message> since(TimePoint since) const;

    // A phone's clock may lag the desktop's by a few seconds (it sets itself from the mobile
    // network), so a message it dates a moment before a search began may have come after it. A
    // message older than that is a code from before, and never counts.
    static constexpr TimePoint phoneClockLag = 5;
    // How long a message's identity is remembered after it was last seen.
    static constexpr TimePoint identityMemory = 24 * 3600;

private:
    TimePoint m_keep;
    QHash<QString, SmsMessage> m_messages; // by smsAsMessage's id: device, thread, message
    QHash<QString, TimePoint> m_seen;      // the same ids → when last added
};

// A text message as the code finder reads it: the number as sender, the phone's name beside it.
Message smsAsMessage(const SmsMessage& message);
TimePoint smsTime(const SmsMessage& message);

} // namespace tessary
