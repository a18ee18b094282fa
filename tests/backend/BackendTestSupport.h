#pragma once

#include "backend/Backend.h"
#include "fakes/FakeBackendServer.h"
#include "fakes/FakeSecretStore.h"
#include "fakes/FakeSettingsStore.h"
#include "support/RunTask.h"

#include <QJsonObject>

#include <gtest/gtest.h>

namespace tessary {
inline void PrintTo(const BackendError& error, std::ostream* out)
{
    *out << "{" << error.status << ", \"" << error.message.toStdString() << "\"}";
}
} // namespace tessary

namespace tessary::test {

// A backend client pointed at an in-process server, with in-memory settings and secrets that
// hold an install token already.
class BackendTest : public ::testing::Test {
protected:
    BackendTest()
    {
        settings.values.insert(QStringLiteral("backendURL"), server.url().toString());
        secrets.values.insert(QStringLiteral("installToken"), QStringLiteral("t"));
    }

    // The error of a messages request the server answers with `reply`.
    BackendError failureOf(ScriptedReply reply, Backend* client = nullptr)
    {
        server.script(QStringLiteral("v1/messages"), std::move(reply));
        auto messages = runTask((client ? *client : backend).messages(0));
        EXPECT_FALSE(messages);
        return messages ? BackendError{} : messages.error();
    }

    FakeBackendServer server;
    FakeSettingsStore settings;
    FakeSecretStore secrets;
    Backend backend{settings, secrets, {}};
};

} // namespace tessary::test
