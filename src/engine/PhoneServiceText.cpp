#include "engine/PhoneServiceText.h"

namespace tessary {

namespace {

// "A", "A and B", "A, B and C".
QString joinedNames(const QStringList& names)
{
    if (names.size() < 2)
        return names.value(0);
    return names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + names.last();
}

QString phoneSentence(const PairedPhone& phone)
{
    if (phone.sms)
        return phone.name + QStringLiteral(" is paired and reachable.");
    if (phone.unanswered)
        return phone.name +
               QStringLiteral(" has sent no text messages yet. If the KDE Connect app on the phone lacks "
                              "the SMS permission, allow it there.") +
               (phone.notifications ? QStringLiteral(" Meanwhile, codes are read from its messages app's "
                                                     "notifications.")
                                    : QString());
    if (phone.notifications)
        return phone.name +
               QStringLiteral(" sends no text messages: in the KDE Connect app on the phone, allow "
                              "the SMS plugin its permission. Until then, codes are read from "
                              "its messages app's notifications.");
    return phone.name +
           QStringLiteral(" sends no text messages and no notifications: in the KDE Connect app on "
                          "the phone, allow the SMS and notification plugins their permissions.");
}

} // namespace

PhoneServiceText describePhoneService(const PhoneService& service)
{
    switch (service.daemon) {
    case PhoneService::Daemon::unknown:
        return {QStringLiteral("Looking for KDE Connect…")};
    case PhoneService::Daemon::noSessionBus:
        return {QStringLiteral("There is no D-Bus session bus, so KDE Connect cannot be reached. Run Tessary "
                               "in a desktop session that has one.")};
    case PhoneService::Daemon::notInstalled:
        return {
            QStringLiteral("KDE Connect is not installed. Install it on this computer and the KDE Connect "
                           "app on your phone, then pair the phone in KDE Connect.")};
    case PhoneService::Daemon::notRunning:
        return {QStringLiteral("KDE Connect is not running. Start it, then pair your phone in KDE Connect.")};
    case PhoneService::Daemon::running:
        break;
    }
    if (service.phones.isEmpty())
        return {QStringLiteral("No phone is paired. Pair your phone in KDE Connect, with the KDE Connect app "
                               "open on the phone on the same network.")};
    PhoneServiceText text;
    QStringList away;
    for (const PairedPhone& phone : service.phones) {
        if (!phone.reachable) {
            away.append(phone.name);
            continue;
        }
        text.sentence += (text.sentence.isEmpty() ? QString() : QStringLiteral(" ")) + phoneSentence(phone);
        text.relaying = text.relaying || relaysMessages(phone);
    }
    if (text.sentence.isEmpty())
        text.sentence = joinedNames(away) +
                        (away.size() == 1 ? QStringLiteral(" is") : QStringLiteral(" are")) +
                        QStringLiteral(" paired but not reachable. Open the KDE Connect app on the phone, on "
                                       "the same network as this computer.");
    return text;
}

} // namespace tessary
