#pragma once

#include "common/Records.h"
#include "common/TimePoint.h"

#include <QObject>

#include <algorithm>

namespace tessary {

// A phone paired with the desktop's phone service, as last seen.
struct PairedPhone {
    QString id;
    QString name;
    bool reachable = false;
    bool sms = false;           // relays the text messages it receives
    bool notifications = false; // relays its notifications, read for codes when it relays no messages
    // Asked for its threads, it relayed none, and no notification has shown yet that it relays no
    // new ones either: it may have no messages at all, or its app may lack the SMS permission.
    bool unanswered = false;
    friend bool operator==(const PairedPhone&, const PairedPhone&) = default;
};

// Whether the phone service is there, and the phones paired with it. Without a session bus it can
// be neither found nor waited for.
struct PhoneService {
    enum class Daemon { unknown, noSessionBus, notInstalled, notRunning, running };
    Daemon daemon = Daemon::unknown;
    QList<PairedPhone> phones;
    friend bool operator==(const PhoneService&, const PhoneService&) = default;
};

// Whether a paired phone is reachable now and relays its text messages or notifications. One that
// has sent none yet may merely have none, and relay the next.
inline bool relaysMessages(const PairedPhone& phone)
{
    return phone.reachable && (phone.sms || phone.notifications || phone.unanswered);
}
inline bool relaysMessages(const PhoneService& service)
{
    return std::any_of(service.phones.cbegin(), service.phones.cend(),
                       [](const PairedPhone& phone) { return relaysMessages(phone); });
}

// The text messages the user's paired phones receive, relayed by a companion service on the
// desktop. Reading them never changes them on the phone. Main thread only.
class SmsSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The received messages dated after `since`, each once, as the code finder reads them.
    virtual QList<Message> received(TimePoint since) const = 0;
    virtual PhoneService service() const = 0;
    // Whether the text of the messages received may be kept in memory: off (the user does not let
    // them be read), what was kept goes and nothing is kept until it is on again.
    virtual void setKeeping(bool keep) = 0;

signals:
    // A received message that was not relayed before.
    void arrived();
    // The service came or went, or a phone was paired, reached or changed what it relays.
    void serviceChanged();
};

} // namespace tessary
