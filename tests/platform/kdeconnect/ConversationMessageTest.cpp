#include "platform/kdeconnect/ConversationMessage.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusServer>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tessary::test {

// The parts of the struct that are themselves structs, as the daemon marshals them.
struct Address {
    QString address;
};
struct Attachment {
    qint64 partId = 0;
    QString mimeType, thumbnail, uniqueIdentifier;
};
QDBusArgument& operator<<(QDBusArgument& out, const Address& a)
{
    out.beginStructure();
    out << a.address;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, Address&)
{
    return in;
}
QDBusArgument& operator<<(QDBusArgument& out, const Attachment& a)
{
    out.beginStructure();
    out << a.partId << a.mimeType << a.thumbnail << a.uniqueIdentifier;
    out.endStructure();
    return out;
}
const QDBusArgument& operator>>(const QDBusArgument& in, Attachment&)
{
    return in;
}

} // namespace tessary::test

Q_DECLARE_METATYPE(tessary::test::Address)
Q_DECLARE_METATYPE(tessary::test::Attachment)

namespace tessary::test {
namespace {

// Takes the daemon's struct on a private peer connection, so the decoder reads what the D-Bus wire
// really delivers.
class Phone : public QObject {
    Q_OBJECT
public:
    std::optional<SmsMessage> decoded;
    int calls = 0;
public slots:
    Q_SCRIPTABLE void Take(const QDBusVariant& message)
    {
        ++calls;
        decoded = decodeConversationMessage(message.variant().value<QDBusArgument>(), "dev1", "Pixel 7");
    }
};

QDBusArgument conversationMessage(int type, QList<Address> addresses, QList<Attachment> attachments)
{
    QDBusArgument out;
    out.beginStructure();
    out << 1 << QStringLiteral("Your code is 739201") << addresses << qint64(1765016100500) << type << 0
        << qint64(12) << 345 << qint64(-1) << attachments;
    out.endStructure();
    return out;
}

struct WireCase {
    const char* name;
    QVariant sent;
    std::optional<SmsMessage::Direction> direction; // none: not a message
    QString address;
};

TEST(ConversationMessage, IsDecodedFromTheDaemonsStructAsTheBusDeliversIt)
{
    qDBusRegisterMetaType<Address>();
    qDBusRegisterMetaType<QList<Address>>();
    qDBusRegisterMetaType<Attachment>();
    qDBusRegisterMetaType<QList<Attachment>>();
    QTemporaryDir dir;
    QDBusServer server(QStringLiteral("unix:tmpdir=") + dir.path());
    Phone phone;
    std::optional<QDBusConnection> serverSide;
    QObject::connect(&server, &QDBusServer::newConnection, [&](const QDBusConnection& connection) {
        serverSide = connection;
        serverSide->registerObject(QStringLiteral("/phone"), &phone, QDBusConnection::ExportScriptableSlots);
    });
    QDBusConnection client = QDBusConnection::connectToPeer(server.address(), QStringLiteral("sms-peer"));
    ASSERT_TRUE(client.isConnected()) << client.lastError().message().toStdString();
    QDeadlineTimer accepted(5000);
    while (!serverSide && !accepted.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(serverSide);

    const QList<WireCase> cases{
        {"received, two addresses, an attachment",
         QVariant::fromValue(
             conversationMessage(1, {{"+4915112345678"}, {"+4917000000"}}, {{7, "image/jpeg", "", "part7"}})),
         SmsMessage::Direction::received, "+4915112345678"},
        {"sent", QVariant::fromValue(conversationMessage(2, {{"+4915112345678"}}, {})),
         SmsMessage::Direction::sent, "+4915112345678"},
        {"draft", QVariant::fromValue(conversationMessage(3, {}, {})), SmsMessage::Direction::other, ""},
        {"not the struct", QVariant(QStringLiteral("Your code is 739201")), std::nullopt, ""},
    };
    for (const WireCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = phone.calls;
        phone.decoded.reset();
        QDBusMessage call = QDBusMessage::createMethodCall(QString{}, QStringLiteral("/phone"), QString{},
                                                           QStringLiteral("Take"));
        call << QVariant::fromValue(QDBusVariant(c.sent));
        client.asyncCall(call);
        QDeadlineTimer deadline(5000);
        while (phone.calls == before && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        ASSERT_EQ(phone.calls, before + 1);
        ASSERT_EQ(phone.decoded.has_value(), c.direction.has_value());
        if (!c.direction)
            continue;
        const SmsMessage& m = *phone.decoded;
        EXPECT_EQ(m.direction, *c.direction);
        EXPECT_EQ(m.address, c.address);
        EXPECT_EQ(m.body, "Your code is 739201");
        EXPECT_EQ(m.dateMs, 1765016100500);
        EXPECT_EQ(m.threadId, 12);
        EXPECT_EQ(m.uid, 345);
        EXPECT_EQ(m.deviceName, "Pixel 7");
    }
    QDBusConnection::disconnectFromPeer(QStringLiteral("sms-peer"));
}

} // namespace
} // namespace tessary::test

#include "ConversationMessageTest.moc"
