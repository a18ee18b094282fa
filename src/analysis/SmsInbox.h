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

    // Keeps `message`, arrived `now`, unless it was sent, is older than the window or was seen
    // before; true when it is new. Forgets messages that left the window, and identities unseen
    // for a day or beyond the newest `identityLimit`.
    bool add(const SmsMessage& message, TimePoint now);
    // Off, the kept messages go and none is kept until it is on again; their identities still are,
    // so that none comes back as new then.
    void setKeeping(bool keep);
    // The kept messages that came at `since`, less a phone clock's lag, or later, oldest first, as
    // messages the code finder ranks.
    QList<Message> since(TimePoint since) const;

    // A phone sets its clock from the mobile network or NTP; one that sets it from the network
    // alone may lag by a second or a few, and date a message that came just after a search began
    // a moment before it. Five seconds covers that lag and lets in nothing stale: a code that did
    // come in the seconds before a field was focused was sent for that field (the site showed the
    // field as it sent the code), and a code once typed is not offered again. A message dated
    // earlier never counts.
    static constexpr TimePoint phoneClockLag = 5;
    // How long a message's identity is remembered after it was last seen, and how many are: a
    // busy messages app posts far fewer in a day, so only a flood forgets one that early.
    static constexpr TimePoint identityMemory = 24 * 3600;
    static constexpr qsizetype identityLimit = 2000;

private:
    struct Kept {
        SmsMessage message;
        TimePoint arrived; // on the desktop's clock
    };
    // When a kept message came, as near as the two clocks tell: a phone's clock that runs ahead
    // dates a message later than it came, and its arrival here bounds that, so an old message
    // relayed late is never taken for a new one.
    static TimePoint cameAt(const Kept& kept);
    void forgetOldestIdentity();

    TimePoint m_keep;
    bool m_keeping = true;
    QHash<QString, Kept> m_messages;  // by smsAsMessage's id: device, thread, message
    QHash<QString, TimePoint> m_seen; // the same ids → when last added
};

// A text message as the code finder reads it: the number as sender, the phone's name beside it.
Message smsAsMessage(const SmsMessage& message);
TimePoint smsTime(const SmsMessage& message);

} // namespace tessary
