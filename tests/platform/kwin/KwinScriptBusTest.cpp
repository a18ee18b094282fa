#include "hotkey/Shortcut.h"
#include "platform/kwin/KGlobalAccelHotKey.h"
#include "platform/kwin/KwinActiveWindow.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVirtualObject>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace tessary {
namespace {

using QTest::qWaitFor;

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

// KDE's global shortcut service, from its own connection: it keeps each call as its name, with the
// keys asked for after setShortcut's, and gives every key asked for but those in `heldByOthers`.
class FakeKGlobalAccel : public QDBusVirtualObject {
public:
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-kglobalaccel");
    QStringList calls;
    QList<int> heldByOthers;

    FakeKGlobalAccel()
    {
        bus.registerVirtualObject("/kglobalaccel", this);
        bus.registerService("org.kde.kglobalaccel");
    }
    ~FakeKGlobalAccel() override
    {
        bus.unregisterService("org.kde.kglobalaccel");
        bus.unregisterObject("/kglobalaccel");
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() != "setShortcut") {
            calls.append(message.member());
            return connection.send(message.createReply());
        }
        const auto keys = qdbus_cast<QList<int>>(message.arguments().value(1));
        QStringList named;
        QList<int> given;
        for (const int key : keys) {
            named.append(QString::number(key));
            if (!heldByOthers.contains(key))
                given.append(key);
        }
        calls.append("setShortcut " + named.join(' '));
        return connection.send(message.createReply(QVariant::fromValue(given)));
    }
};

// Sends our action's press from `bus` and sees it through: a call after it on the same connection
// is answered once the press is queued for us.
void press(const QDBusConnection& bus)
{
    QDBusMessage signal = QDBusMessage::createSignal(
        "/component/com_tessary_Test", "org.kde.kglobalaccel.Component", "globalShortcutPressed");
    signal << QString("com.tessary.Test") << QString("fill-newest-code") << qlonglong(0);
    bus.send(signal);
    const QDBusPendingCall ping = bus.asyncCall(QDBusMessage::createMethodCall(
        QDBusConnection::sessionBus().baseService(), "/", "org.freedesktop.DBus.Peer", "Ping"));
    EXPECT_TRUE(qWaitFor([&] { return ping.isFinished(); }));
    for (int pass = 0; pass < 2; ++pass) // the signal's slot, then the press it queues
        QCoreApplication::processEvents();
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
    return qWaitFor([&] { return pending.isFinished(); }) && !pending.isError();
}

TEST(KwinActiveWindow, AScriptLeftUnderOurNameGoesAndOnlyKWinSaysWhatIsInFront)
{
    FakeKwin kwin;
    const KwinActiveWindow active;
    ASSERT_TRUE(qWaitFor([&] { return kwin.calls.contains("run"); })) << kwin.calls.join(", ").toStdString();
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
    EXPECT_TRUE(qWaitFor([&] { return kwin.calls.contains("run"); })) << kwin.calls.join(", ").toStdString();
    kwin.bus.unregisterService("org.kde.KWin");
}

// Nothing waits for the service: its answer comes later, only for the newest registration, and keys
// it did not give read as a combination held by another app. Calls go in the order made, so a
// release never overtakes the registration after it, and a hot key gone with an answer on its way
// is no matter.
TEST(KGlobalAccelHotKey, OnlyTheNewestRegistrationIsAnsweredAndCallsKeepTheirOrder)
{
    FakeKGlobalAccel service;
    const Shortcut held{40, modifier::control | modifier::option, "K"};
    const QString heldKey = QString::number((Qt::ControlModifier | Qt::AltModifier | Qt::Key_K).toCombined());
    const QString freeKey = QString::number((Qt::ShiftModifier | Qt::MetaModifier | Qt::Key_O).toCombined());
    service.heldByOthers = {heldKey.toInt()};
    QList<std::optional<QString>> answers;
    {
        KGlobalAccelHotKey hotKey("com.tessary.Test");
        hotKey.setAnswerHandler([&](const std::optional<QString>& refusal) { answers.append(refusal); });
        ASSERT_TRUE(hotKey.registerShortcut(held));
        ASSERT_TRUE(hotKey.registerShortcut(Shortcut::defaultShortcutFor(false)));
        ASSERT_TRUE(qWaitFor([&] { return !answers.isEmpty(); }));
        EXPECT_EQ(answers, QList<std::optional<QString>>{std::nullopt});
        ASSERT_TRUE(hotKey.registerShortcut(held));
        ASSERT_TRUE(qWaitFor([&] { return answers.size() == 2; }));
        EXPECT_EQ(answers.last(), shortcutConflictMessage(held));
        ASSERT_TRUE(hotKey.registerShortcut(Shortcut::defaultShortcutFor(false)));
    }
    const QStringList askHeld = {"doRegister", "setShortcut " + heldKey};
    const QStringList askFree = {"doRegister", "setShortcut " + freeKey};
    const QStringList letGo = {"setShortcut ", "unregister"};
    ASSERT_TRUE(qWaitFor([&] { return service.calls.size() == 16; }))
        << service.calls.join(", ").toStdString();
    EXPECT_EQ(service.calls, askHeld + letGo + askFree + letGo + askHeld + letGo + askFree + letGo);
}

// Nothing is asked of the bus before the first registration: a service that comes onto it after
// the hot key was made, as KWin's does at login, gives the keys, and only its presses count.
TEST(KGlobalAccelHotKey, AServiceThatComesLaterIsUsedAndOnlyItsPressesCount)
{
    KGlobalAccelHotKey hotKey("com.tessary.Test");
    FakeKGlobalAccel service;
    std::optional<std::optional<QString>> answer;
    int presses = 0;
    hotKey.setAnswerHandler([&](const std::optional<QString>& refusal) { answer = refusal; });
    hotKey.setPressHandler([&] { ++presses; });
    ASSERT_TRUE(hotKey.registerShortcut(Shortcut::defaultShortcutFor(false)));
    ASSERT_TRUE(qWaitFor([&] { return answer.has_value(); }));
    EXPECT_EQ(*answer, std::nullopt);
    press(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "stranger"));
    EXPECT_EQ(presses, 0) << "another process pressed the shortcut";
    press(service.bus);
    EXPECT_EQ(presses, 1);
}

} // namespace
} // namespace tessary
