#pragma once

#include "analysis/SmsInbox.h"
#include "engine/SmsSource.h"

namespace tessary::test {

// A phone service that relays what a test hands it, deduplicated as the real one is.
class FakeSmsSource : public SmsSource {
public:
    QList<Message> received(TimePoint since) const override { return inbox.since(since); }
    PhoneService service() const override { return current; }
    void setKeeping(bool keep) override { inbox.setKeeping(keep); }
    void relay(const SmsMessage& message, TimePoint now)
    {
        if (inbox.add(message, now))
            emit arrived();
    }
    void setService(PhoneService service)
    {
        current = std::move(service);
        emit serviceChanged();
    }
    SmsInbox inbox;
    PhoneService current;
};

} // namespace tessary::test
