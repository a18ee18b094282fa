// tessary-inspect sms [--minutes N] [--wait SECONDS]: the text messages the paired phones received
// lately, each with the code the finder reads in it, and the code a field would be offered. With
// --wait it listens that long first, and gives each message relayed meanwhile the wall time in ms
// it arrived ("noticedAt").

#include "analysis/CodeFinder.h"
#include "common/Clock.h"
#include "engine/PhoneServiceText.h"
#include "tools/InspectCommand.h"
#include "tools/JsonLine.h"
#include "tools/SmsReport.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QHash>
#include <QJsonArray>

namespace tessary::inspect {

void waitForPhones(SessionSms& sms)
{
    // The phones' names and held messages come in replies after the list of phones.
    QDeadlineTimer deadline(1500);
    const auto settled = [&] {
        const PhoneService service = sms.service();
        if (service.daemon == PhoneService::Daemon::unknown)
            return false;
        return service.daemon != PhoneService::Daemon::running || deadline.remainingTime() < 1000;
    };
    while (!deadline.hasExpired() && !settled())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

QJsonObject smsStatus(const SessionSms& sms)
{
    const PhoneService service = sms.service();
    QJsonArray devices;
    for (const PairedPhone& phone : service.phones)
        devices.append(QJsonObject{{QStringLiteral("id"), phone.id},
                                   {QStringLiteral("name"), phone.name},
                                   {QStringLiteral("reachable"), phone.reachable},
                                   {QStringLiteral("sms"), phone.sms},
                                   {QStringLiteral("unanswered"), phone.unanswered},
                                   {QStringLiteral("notifications"), phone.notifications}});
    QJsonObject status{{QStringLiteral("source"), sessionSmsSource}, {QStringLiteral("devices"), devices}};
    const PhoneServiceText text = describePhoneService(service);
    if (!text.relaying)
        status.insert(QStringLiteral("reason"), text.sentence);
    return status;
}

namespace {

int runSms(const QStringList& arguments)
{
    const ParsedArguments parsed =
        parseArguments(arguments, {QStringLiteral("--minutes"), QStringLiteral("--wait")});
    const std::optional<double> minutes = timeOption(parsed, QStringLiteral("--minutes"), 10);
    const std::optional<double> wait = timeOption(parsed, QStringLiteral("--wait"), 0);
    if (!parsed.error.isEmpty() || !parsed.positional.isEmpty() || !minutes || *minutes == 0 || !wait) {
        printError(parsed.error.isEmpty() ? QStringLiteral("usage: sms [--minutes N] [--wait SECONDS]")
                                          : parsed.error);
        return exitBadInput;
    }
    SystemClock clock;
    SessionSms sms(QDBusConnection::sessionBus(), clock, nullptr, *minutes * 60);
    waitForPhones(sms);
    QHash<QString, qint64> noticed; // message id → when it arrived, for those relayed while listening
    for (const Message& message : sms.received(0))
        noticed.insert(message.id, 0);
    QObject::connect(&sms, &SmsSource::arrived, [&] {
        for (const Message& message : sms.received(0))
            if (!noticed.contains(message.id))
                noticed.insert(message.id, QDateTime::currentMSecsSinceEpoch());
    });
    for (QDeadlineTimer listening(qint64(*wait * 1000)); !listening.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const QJsonObject status = smsStatus(sms);
    printLine(jsonLine({{"sms", status}}));
    const QList<Message> messages = sms.received(clock.now() - *minutes * 60);
    for (const Message& message : messages) {
        const QList<FoundCode> found = CodeFinder::rank({message}, {});
        const qint64 noticedAt = noticed.value(message.id);
        printLine(jsonLine({{"id", message.id},
                            {"noticedAt", noticedAt ? QJsonValue(double(noticedAt)) : QJsonValue()},
                            {"phone", optionalJson(message.phone)},
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

const bool smsRegistered = registerCommand(
    {.name = QStringLiteral("sms"),
     .usage = QStringLiteral("[--minutes N] [--wait SECONDS]"),
     .description = QStringLiteral("text messages the paired phones received lately, and the code picked"),
     .example = QStringLiteral("tessary-inspect sms --minutes 5"),
     .group = QStringLiteral("mail"),
     .needs = Needs::core,
     .run = runSms});

} // namespace

} // namespace tessary::inspect
