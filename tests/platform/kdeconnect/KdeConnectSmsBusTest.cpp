#include "fakes/FakeClock.h"
#include "platform/kdeconnect/KdeConnectSms.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QTest>

#include <gtest/gtest.h>

namespace tessary::test {
namespace {

using QTest::qWaitFor;
using namespace std::chrono_literals;

// KDE Connect's daemon on a private session bus (dbus-run-session) with paired phones that relay
// text messages while they are reachable, and have none to relay. It keeps the calls it got, as
// "<phone> <method>".
class FakeKdeConnect : public QDBusVirtualObject {
public:
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-kdeconnect");
    QStringList phones{"dev1"};
    bool reachable = true;
    QStringList calls;

    FakeKdeConnect()
    {
        bus.registerVirtualObject("/modules/kdeconnect", this, QDBusConnection::SubPath);
        bus.registerService("org.kde.kdeconnect");
    }
    ~FakeKdeConnect() override { bus.unregisterObject("/modules/kdeconnect"); }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        calls.append(message.path().section('/', 4, 4) + ' ' + message.member());
        const QHash<QString, QVariant> answers{
            {"devices", phones},
            {"GetAll", QVariantMap{{"name", "Pixel 7"}, {"isReachable", reachable}}},
            {"loadedPlugins", QStringList{"kdeconnect_sms"}},
            {"activeConversations", QVariantList{}}};
        const QVariant answer = answers.value(message.member());
        return connection.send(answer.isValid() ? message.createReply(answer) : message.createReply());
    }
    void setReachable(bool now)
    {
        reachable = now;
        bus.send(QDBusMessage::createSignal("/modules/kdeconnect/devices/dev1", "org.kde.kdeconnect.device",
                                            "reachableChanged")
                 << now);
    }
};

// A phone that leaves and comes back is asked again, and given the whole wait again: what it
// was waited for before it left says nothing.
TEST(KdeConnectSms, APhoneThatCameBackIsUnansweredOnlyAFullWaitAfterItWasAskedAgain)
{
    FakeKdeConnect daemon;
    FakeClock clock(FakeClock::Sleeps::wait);
    KdeConnectSms sms(QDBusConnection::sessionBus(), clock);
    const auto phone = [&] {
        const QList<PairedPhone> phones = sms.service().phones;
        return phones.isEmpty() ? PairedPhone{} : phones.constFirst();
    };
    ASSERT_TRUE(qWaitFor([&] { return phone().sms; }));
    clock.advance(5s);
    daemon.setReachable(false);
    ASSERT_TRUE(qWaitFor([&] { return !phone().reachable; }));
    daemon.setReachable(true);
    ASSERT_TRUE(qWaitFor([&] { return phone().sms; }));
    clock.advance(4s);
    EXPECT_FALSE(phone().unanswered);
    clock.advance(4s);
    EXPECT_TRUE(phone().unanswered);
    // The daemon goes before the bus does, with no call to it in flight.
    daemon.bus.unregisterService("org.kde.kdeconnect");
    EXPECT_TRUE(qWaitFor([&] { return sms.service().daemon == PhoneService::Daemon::notRunning; }));
}

// A message older than the newest of its thread shows only as the thread's load; two phones'
// threads of one number and size are each read again.
TEST(KdeConnectSms, EachPhonesThreadIsReadAgainAfterItsLoad)
{
    FakeKdeConnect daemon;
    daemon.phones = {"dev1", "dev2"};
    FakeClock clock;
    KdeConnectSms sms(QDBusConnection::sessionBus(), clock);
    ASSERT_TRUE(qWaitFor([&] { return daemon.calls.count("dev2 requestAllConversationThreads"); }));
    for (const QString& phone : daemon.phones)
        daemon.bus.send(QDBusMessage::createSignal("/modules/kdeconnect/devices/" + phone,
                                                   "org.kde.kdeconnect.device.conversations",
                                                   "conversationLoaded")
                        << qlonglong(7) << qulonglong(3));
    EXPECT_TRUE(qWaitFor([&] { return daemon.calls.contains("dev2 requestConversation"); }));
    EXPECT_TRUE(daemon.calls.contains("dev1 requestConversation"));
    daemon.bus.unregisterService("org.kde.kdeconnect");
    EXPECT_TRUE(qWaitFor([&] { return sms.service().daemon == PhoneService::Daemon::notRunning; }));
}

} // namespace
} // namespace tessary::test
