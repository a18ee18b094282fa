#include "platform/kdeconnect/ConversationMessage.h"

#include <QDBusArgument>

namespace tessary {

namespace {

constexpr int receivedType = 1; // Android's MESSAGE_TYPE_INBOX
constexpr int sentType = 2;     // MESSAGE_TYPE_SENT

} // namespace

std::optional<SmsMessage> decodeConversationMessage(const QDBusArgument& argument, const QString& deviceId,
                                                    const QString& deviceName)
{
    if (argument.currentType() != QDBusArgument::StructureType ||
        argument.currentSignature() != QLatin1String("(isa(s)xiixixa(xsss))"))
        return std::nullopt;
    SmsMessage message;
    message.deviceId = deviceId;
    message.deviceName = deviceName;
    int event = 0, type = 0, read = 0, uid = 0;
    qint64 subId = 0;
    argument.beginStructure();
    argument >> event >> message.body;
    // The first address is the other party's; group messages list every member.
    argument.beginArray();
    while (!argument.atEnd()) {
        QString address;
        argument.beginStructure();
        argument >> address;
        argument.endStructure();
        if (message.address.isEmpty())
            message.address = address;
    }
    argument.endArray();
    argument >> message.dateMs >> type >> read >> message.threadId >> uid >> subId;
    // Attachments carry no text a code could be in.
    argument.beginArray();
    while (!argument.atEnd()) {
        qint64 partId = 0;
        QString mimeType, encodedThumbnail, uniqueIdentifier;
        argument.beginStructure();
        argument >> partId >> mimeType >> encodedThumbnail >> uniqueIdentifier;
        argument.endStructure();
    }
    argument.endArray();
    argument.endStructure();
    message.uid = uid;
    message.direction = type == receivedType ? SmsMessage::Direction::received
                        : type == sentType   ? SmsMessage::Direction::sent
                                             : SmsMessage::Direction::other;
    return message;
}

} // namespace tessary
