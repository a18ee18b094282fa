#include "platform/kdeconnect/ConversationMessage.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusServer>
#include <QDBusVariant>
#include <QTest>

#include <gtest/gtest.h>

// The struct's inner structs as the daemon marshals them: an address (s), an attachment (xsss).
struct SmsAddress {
    QString address;
};
struct SmsAttachment {
    qint64 partId = 0;
    QString mimeType, thumbnail, uniqueIdentifier;
};
QDBusArgument& operator<<(QDBusArgument& out, const SmsAddress& a)
{
    out.beginStructure();
    out << a.address;
    out.endStructure();
    return out;
}
QDBusArgument& operator<<(QDBusArgument& out, const SmsAttachment& a)
{
    out.beginStructure();
    out << a.partId << a.mimeType << a.thumbnail << a.uniqueIdentifier;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, SmsAddress&)
{
    return in;
}
const QDBusArgument& operator>>(const QDBusArgument& in, SmsAttachment&)
{
    return in;
}
Q_DECLARE_METATYPE(SmsAddress)
Q_DECLARE_METATYPE(SmsAttachment)

namespace tessary::test {
namespace {

// Decodes what it is sent on a private peer connection: what the D-Bus wire really delivers.
class Receiver : public QObject {
    Q_OBJECT
public:
    std::optional<std::optional<SmsMessage>> decoded;
public slots:
    Q_SCRIPTABLE void Take(const QDBusVariant& message)
    {
        decoded = decodeConversationMessage(message.variant().value<QDBusArgument>(), "dev1", "Pixel 7");
    }
};

TEST(ConversationMessage, IsDecodedFromTheDaemonsStructAndAnythingElseIsRefused)
{
    qDBusRegisterMetaType<SmsAddress>();
    qDBusRegisterMetaType<SmsAttachment>();
    qDBusRegisterMetaType<QList<SmsAddress>>();
    qDBusRegisterMetaType<QList<SmsAttachment>>();
    QDBusServer server(QStringLiteral("unix:abstract=tessary-sms-") +
                       QString::number(QCoreApplication::applicationPid()));
    Receiver receiver;
    std::optional<QDBusConnection> serverSide;
    QObject::connect(&server, &QDBusServer::newConnection, [&](const QDBusConnection& connection) {
        serverSide = connection;
        serverSide->registerObject(QStringLiteral("/r"), &receiver, QDBusConnection::ExportScriptableSlots);
    });
    QDBusConnection client = QDBusConnection::connectToPeer(server.address(), QStringLiteral("sms-peer"));
    const auto send = [&](const QVariant& value) {
        receiver.decoded.reset();
        QDBusMessage call =
            QDBusMessage::createMethodCall({}, QStringLiteral("/r"), {}, QStringLiteral("Take"));
        call << QVariant::fromValue(QDBusVariant(value));
        EXPECT_TRUE(QTest::qWaitFor([&] { return serverSide.has_value(); }));
        client.send(call);
        EXPECT_TRUE(QTest::qWaitFor([&] { return receiver.decoded.has_value(); }));
        return receiver.decoded;
    };

    QDBusArgument groupMessage;
    groupMessage.beginStructure();
    groupMessage << 1 << QStringLiteral("Your code is 739201")
                 << QList<SmsAddress>{{"+4915112345678"}, {"+4917000000"}} << qint64(1765016100500) << 1 << 0
                 << qint64(12) << 345 << qint64(-1) << QList<SmsAttachment>{{7, "image/jpeg", "", "part7"}};
    groupMessage.endStructure();
    const std::optional<std::optional<SmsMessage>> m = send(QVariant::fromValue(groupMessage));
    ASSERT_TRUE(m && *m);
    EXPECT_EQ(**m, (SmsMessage{"dev1", "Pixel 7", 12, 345, "+4915112345678", "Your code is 739201",
                               1765016100500, SmsMessage::Direction::received}));
    const std::optional<std::optional<SmsMessage>> refused = send(QStringLiteral("Your code is 739201"));
    ASSERT_TRUE(refused);
    EXPECT_FALSE(*refused);
    QDBusConnection::disconnectFromPeer(QStringLiteral("sms-peer"));
}

} // namespace
} // namespace tessary::test

#include "ConversationMessageTest.moc"
