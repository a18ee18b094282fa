#include "platform/kwin/KwinActiveWindow.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QTimer>

#include <gtest/gtest.h>

namespace tessary {
namespace {

// KWin's scripting on a private session bus (dbus-run-session): it loads any script as script 1,
// runs it and keeps the names of the calls it got; the test speaks for the script from `bus`.
// `objectsLater`: its objects come on the bus a moment after its name, as a starting KWin's do.
class FakeKwin : public QDBusVirtualObject {
public:
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-kwin");
    QStringList calls;

    explicit FakeKwin(bool objectsLater = false)
    {
        const auto registerObjects = [this] {
            bus.registerVirtualObject("/", this, QDBusConnection::SubPath);
        };
        bus.registerService("org.kde.KWin");
        objectsLater ? QTimer::singleShot(300, this, registerObjects) : registerObjects();
    }
    ~FakeKwin() override { bus.unregisterObject("/"); }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        calls.append(message.member());
        return connection.send(
            message.createReply(message.member() == "loadScript" ? QVariant(1) : QVariant(true)));
    }
};

bool waitUntil(const std::function<bool()>& done)
{
    for (QDeadlineTimer deadline(5000); !done() && !deadline.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Whether a report of process `pid` in front, sent from `bus`, was taken.
bool report(const QDBusConnection& bus, int pid)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QDBusConnection::sessionBus().baseService(),
                                                       "/com/tessary/KWinWindows", "com.tessary.KWinWindows",
                                                       "activeWindowChanged");
    call << QStringLiteral(R"({"pid": %1, "resourceClass": "a", "frame": [0,0,9,9], "buffer": [0,0,9,9]})")
                .arg(pid);
    const QDBusPendingCall pending = bus.asyncCall(call);
    return waitUntil([&] { return pending.isFinished(); }) && !pending.isError();
}

TEST(KwinActiveWindow, AScriptLeftUnderOurNameGoesAndOnlyKWinSaysWhatIsInFront)
{
    FakeKwin kwin;
    const KwinActiveWindow active;
    ASSERT_TRUE(waitUntil([&] { return kwin.calls.contains("run"); })) << kwin.calls.join(", ").toStdString();
    EXPECT_EQ(kwin.calls, QStringList({"unloadScript", "loadScript", "run"}));
    EXPECT_FALSE(report(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "stranger"), 41));
    EXPECT_FALSE(active.reporting()) << "another process said what is in front";
    EXPECT_TRUE(report(kwin.bus, 42));
    ASSERT_TRUE(active.window());
    EXPECT_EQ(active.window()->pid, 42);
    kwin.bus.unregisterService("org.kde.KWin"); // else unloading at the end would wait for this thread
}

TEST(KwinActiveWindow, AKWinThatComesBackLoadsOurScriptOnceItsScriptingIsThere)
{
    const KwinActiveWindow active;
    FakeKwin kwin(true);
    EXPECT_TRUE(waitUntil([&] { return kwin.calls.contains("run"); })) << kwin.calls.join(", ").toStdString();
    kwin.bus.unregisterService("org.kde.KWin");
}

} // namespace
} // namespace tessary
