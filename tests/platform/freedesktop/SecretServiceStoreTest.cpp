#include "platform/freedesktop/SecretServiceStore.h"
#include "support/RunTask.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QUuid>

#include <gtest/gtest.h>

#include <chrono>

using namespace tessary;
using namespace tessary::test;

// Run with no session bus at all: the desktop has no Secret Service. (An unavailable keyring hands
// the token to the file: SecretFallback in SecretStoreTest.)
TEST(SecretServiceAbsent, IsReportedUnavailableAtOnce)
{
    SecretServiceStore keyring("com.tessary.test");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(runTask(keyring.keychainSet("installToken", "t")));
    EXPECT_FALSE(keyring.isAvailable());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(runTask(keyring.keychainGet("installToken")), std::nullopt);
}

// Run beside an unlocked GNOME Keyring (tests/backend/with-keyring).
TEST(SecretServiceKeyring, KeepsReplacesAndDeletesOneStringPerKey)
{
    // A service name of its own, so a run never meets an item an earlier run left behind.
    const QString service = "com.tessary.test." + QUuid::createUuid().toString(QUuid::WithoutBraces);
    SecretServiceStore keyring(service);
    EXPECT_EQ(runTask(keyring.keychainGet("installToken")), std::nullopt);
    EXPECT_TRUE(keyring.isAvailable()); // "not found" is an answer, not a failure

    ASSERT_TRUE(runTask(keyring.keychainSet("installToken", "first")));
    ASSERT_TRUE(runTask(keyring.keychainSet("installToken", "sécond")));
    EXPECT_EQ(runTask(keyring.keychainGet("installToken")), "sécond");

    SecretServiceStore sameService(service);
    EXPECT_EQ(runTask(sameService.keychainGet("installToken")), "sécond");

    runTask(keyring.keychainDelete("installToken"));
    EXPECT_EQ(runTask(keyring.keychainGet("installToken")), std::nullopt);
    runTask(keyring.keychainDelete("installToken")); // deleting what is gone is no failure
    EXPECT_TRUE(keyring.isAvailable());
}

namespace {

// The Secret Service on a private session bus (dbus-run-session), owned by this test while it lives.
// A `silent` one takes every call and never answers, as a stuck keyring daemon does. Else its default
// collection is at `defaultPath` ("/" for none), locked or not, holding one item: it answers those
// questions and a search, and records every other call, the ones that could make it prompt.
class FakeSecretService : public QDBusVirtualObject {
public:
    bool silent = false;
    QString defaultPath;
    bool locked = false;
    QStringList otherCalls;
    int silentCalls = 0;

    bool own()
    {
        return m_bus.registerVirtualObject("/", this, QDBusConnection::SubPath) &&
               m_bus.registerService("org.freedesktop.secrets");
    }
    ~FakeSecretService() override
    {
        m_bus.unregisterService("org.freedesktop.secrets");
        m_bus.unregisterObject("/", QDBusConnection::UnregisterTree);
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override
    {
        silentCalls += silent;
        if (silent)
            return true;
        if (message.member() == "ReadAlias")
            return bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(defaultPath))));
        if (message.member() == "Get" && message.path() == defaultPath)
            return bus.send(message.createReply(QVariant::fromValue(QDBusVariant(locked))));
        if (message.member() == "SearchItems") {
            const QList<QDBusObjectPath> held{QDBusObjectPath(defaultPath + "/1")}, none;
            return bus.send(message.createReply(
                {QVariant::fromValue(locked ? none : held), QVariant::fromValue(locked ? held : none)}));
        }
        otherCalls.append(message.member());
        return bus.send(message.createErrorReply(QDBusError::NotSupported, "not in this test"));
    }

private:
    // A connection of its own: calls the store makes on the session bus's shared connection would
    // otherwise be delivered in process, where a call left unanswered fails at once.
    QDBusConnection m_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-secrets");
};

} // namespace

// A keyring slow to answer, as one often is at login, may hold the token: every question ends at
// our time-out, the store counts as holding what it was asked for, and it is asked again later.
TEST(SecretServiceStuck, AJobThatRunsOutIsWaitedForNotGivenUp)
{
    FakeSecretService service;
    service.silent = true;
    ASSERT_TRUE(service.own());
    SecretServiceStore keyring("com.tessary.test", std::chrono::milliseconds(500));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(runTask(keyring.keychainSet("installToken", "t")));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_GT(service.silentCalls, 0) << "the silent service was never asked";
    EXPECT_TRUE(keyring.isAvailable());
    EXPECT_TRUE(keyring.isSilent());
    EXPECT_TRUE(runTask(keyring.isWithheld("installToken")));

    service.silent = false; // it answers now: locked, holding the item
    service.defaultPath = "/org/freedesktop/secrets/collection/login";
    service.locked = true;
    EXPECT_EQ(runTask(keyring.keychainGet("installToken")), std::nullopt);
    EXPECT_FALSE(keyring.isSilent());
    EXPECT_TRUE(runTask(keyring.isWithheld("installToken")));
}

TEST(SecretServiceDefaultKeyring, OnlyAnOpenDefaultCollectionIsAskedForSecrets)
{
    const QString login = "/org/freedesktop/secrets/collection/login";
    const QList<std::tuple<const char*, QString, bool, bool>> rows = {
        {"no default collection", "/", false, false},
        {"a locked one", login, true, false},
        {"an open one", login, false, true},
    };
    for (const auto& [rule, defaultPath, locked, asked] : rows) {
        FakeSecretService service;
        service.defaultPath = defaultPath;
        service.locked = locked;
        ASSERT_TRUE(service.own());
        SecretServiceStore keyring("com.tessary.test", std::chrono::seconds(2));
        runTask(keyring.keychainSet("installToken", "t"));
        runTask(keyring.keychainGet("installToken"));
        EXPECT_EQ(!service.otherCalls.isEmpty(), asked)
            << rule << ": " << service.otherCalls.join(' ').toStdString();
        if (!asked) { // a locked one is asked again later, and says it holds an item it cannot give
            EXPECT_EQ(keyring.isAvailable(), locked) << rule;
        }
        EXPECT_EQ(runTask(keyring.isWithheld("installToken")), locked) << rule;
    }
}
