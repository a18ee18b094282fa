// tessary-inspect sms [--minutes N]: the text messages the paired phones received lately, each with
// the code the finder reads in it, and the code a field would be offered.

#include "analysis/CodeFinder.h"
#include "common/Clock.h"
#include "tools/InspectCommand.h"
#include "tools/JsonLine.h"
#include "tools/SmsReport.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QJsonArray>

namespace tessary::inspect {

void waitForPhones(SessionSms& sms)
{
    // The phones' names and held messages come in replies after the list of phones.
    QDeadlineTimer deadline(1500);
    while (!deadline.hasExpired() && !(sms.known() && (!sms.serviceRunning() || sms.phones().isEmpty() ||
                                                       deadline.remainingTime() < 1000)))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

QJsonObject smsStatus(const SessionSms& sms)
{
    QJsonArray devices;
    for (const SessionSms::Phone& phone : sms.phones())
        devices.append(QJsonObject{{QStringLiteral("id"), phone.id}, {QStringLiteral("name"), phone.name}});
    QJsonObject status{{QStringLiteral("source"), sessionSmsSource}, {QStringLiteral("devices"), devices}};
    if (!sms.serviceRunning())
        status.insert(QStringLiteral("reason"),
                      QStringLiteral("KDE Connect is not running on the session bus"));
    else if (devices.isEmpty())
        status.insert(QStringLiteral("reason"), QStringLiteral("no paired phone is reachable"));
    return status;
}

namespace {

int runSms(const QStringList& arguments)
{
    const ParsedArguments parsed = parseArguments(arguments, {QStringLiteral("--minutes")});
    bool numeric = true;
    const double minutes =
        parsed.options.value(QStringLiteral("--minutes"), QStringLiteral("10")).toDouble(&numeric);
    if (!parsed.error.isEmpty() || !parsed.positional.isEmpty() || !numeric || minutes <= 0) {
        printError(parsed.error.isEmpty() ? QStringLiteral("usage: sms [--minutes N]") : parsed.error);
        return exitBadInput;
    }
    SystemClock clock;
    SessionSms sms(QDBusConnection::sessionBus(), clock, nullptr, minutes * 60);
    waitForPhones(sms);
    const QJsonObject status = smsStatus(sms);
    printLine(jsonLine({{"sms", status}}));
    const QList<Message> messages = sms.received(clock.now() - minutes * 60);
    for (const Message& message : messages) {
        const QList<FoundCode> found = CodeFinder::rank({message}, {});
        printLine(jsonLine({{"phone", optionalJson(message.phone)},
                            {"from", message.sender},
                            {"received", optionalJson(message.receivedAt)},
                            {"code", found.isEmpty() ? QJsonValue() : QJsonValue(found.first().code)}}));
    }
    const QList<FoundCode> ranked = CodeFinder::rank(messages, {});
    printLine(jsonLine({{"pick", ranked.isEmpty() ? QJsonValue() : QJsonValue(ranked.first().code)}}));
    if (status.contains(QStringLiteral("reason")))
        printError(status.value(QStringLiteral("reason")).toString());
    return status.contains(QStringLiteral("reason")) ? exitFailure : exitOk;
}

const bool registered = registerCommand(
    {.name = QStringLiteral("sms"),
     .usage = QStringLiteral("[--minutes N]"),
     .description = QStringLiteral("text messages the paired phones received lately, and the code picked"),
     .example = QStringLiteral("tessary-inspect sms --minutes 5"),
     .group = QStringLiteral("mail"),
     .needs = Needs::core,
     .run = runSms});

} // namespace

} // namespace tessary::inspect
