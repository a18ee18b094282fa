#include "backend/BackendTestSupport.h"

#include <chrono>

using namespace tessary;
using namespace tessary::test;
using namespace std::chrono_literals;

namespace {

BackendOptions shortTimeout()
{
    BackendOptions options;
    options.limits.timeout = 300ms;
    return options;
}

} // namespace

class HostileReplies : public BackendTest {
protected:
    HostileReplies() { secrets.values.insert("installToken", "t"); }

    BackendError failureOf(ScriptedReply reply, Backend* client = nullptr)
    {
        server.script("v1/messages", std::move(reply));
        auto messages = runTask((client ? *client : backend).messages(0));
        EXPECT_FALSE(messages);
        return messages ? BackendError{} : messages.error();
    }
};

TEST_F(HostileReplies, AReplyOverSixteenMegabytesIsRefused)
{
    const QByteArray padding(16 * 1024 * 1024, ' ');
    const BackendError error = failureOf(ScriptedReply::json(200, R"({"messages": [)" + padding + "]}"));
    EXPECT_EQ(error.status, 0);
    EXPECT_EQ(error.message, "The server's reply is larger than 16 MB.");
}

TEST_F(HostileReplies, InvalidUtf8IsADecodingError)
{
    const BackendError error =
        failureOf(ScriptedReply::json(200, QByteArray(R"({"messages": [{"id": "m", "subject": ")") +
                                               "\xff\xfe" + R"(", "sender": "a", "text": "t"}]})"));
    EXPECT_TRUE(error.message.startsWith("The server's reply could not be read")) << error.message;
}

TEST_F(HostileReplies, AbsurdlyDeepJsonIsADecodingError)
{
    const QByteArray deep = QByteArray(100000, '[') + QByteArray(100000, ']');
    const BackendError error = failureOf(ScriptedReply::json(200, R"({"messages": )" + deep + "}"));
    EXPECT_TRUE(error.message.contains("not valid JSON")) << error.message;
}

TEST_F(HostileReplies, AConnectionClosedMidBodyIsATransportError)
{
    ScriptedReply reply =
        ScriptedReply::json(200, R"({"messages": [{"id": "m1", "subject": "s", "sender": "a"}]})");
    reply.ending = ScriptedReply::Ending::closeMidBody;
    const BackendError error = failureOf(reply);
    EXPECT_EQ(error.status, 0);
    EXPECT_FALSE(error.message.isEmpty());
    // the transport's own failure, not a half body handed to the decoder
    EXPECT_FALSE(error.message.startsWith("The server's reply could not be read")) << error.message;
}

TEST_F(HostileReplies, AServerThatNeverAnswersTimesOut)
{
    ScriptedReply silence;
    silence.ending = ScriptedReply::Ending::never;
    Backend impatient(settings, secrets, shortTimeout());
    EXPECT_EQ(failureOf(silence, &impatient), (BackendError{0, "The request timed out."}));
}

class Cancellation : public BackendTest {
protected:
    Cancellation() { secrets.values.insert("installToken", "t"); }

    // A cancel handle that fires once the server holds the request, so the cancel meets a
    // reply in flight however slowly the test runs.
    CancelToken cancelOnArrival(const QString& path)
    {
        CancelToken cancel = makeCancelToken();
        QObject::connect(&server, &FakeBackendServer::received, cancel.get(),
                         [cancel, path](const QString& arrived) {
                             if (arrived == path)
                                 cancel->cancel();
                         });
        return cancel;
    }
};

TEST_F(Cancellation, CancellingAbortsTheReplyInFlight)
{
    ScriptedReply silence;
    silence.ending = ScriptedReply::Ending::never;
    server.script("v1/messages/ids", silence);
    CancelToken cancel = cancelOnArrival("v1/messages/ids");

    auto ids = runTask(backend.messageIds(0, cancel));
    ASSERT_FALSE(ids);
    EXPECT_EQ(ids.error(), cancelledError());
    EXPECT_EQ(server.requestsTo("v1/messages/ids").size(), 1);
}

TEST_F(Cancellation, AnAlreadyCancelledRequestSendsNothing)
{
    CancelToken cancel = makeCancelToken();
    cancel->cancel();
    auto ids = runTask(backend.messageIds(0, cancel));
    ASSERT_FALSE(ids);
    EXPECT_EQ(ids.error(), cancelledError());
    EXPECT_TRUE(server.requests.isEmpty());
}

TEST_F(Cancellation, ACancelledRequestLeavesTheClientUsable)
{
    ScriptedReply silence;
    silence.ending = ScriptedReply::Ending::never;
    server.script("v1/messages/ids", silence);
    server.script("v1/messages/ids", ScriptedReply::json(200, R"({"ids": ["x"]})"));
    CancelToken cancel = cancelOnArrival("v1/messages/ids");
    ASSERT_FALSE(runTask(backend.messageIds(0, cancel)));
    auto ids = runTask(backend.messageIds(0));
    ASSERT_TRUE(ids) << ids.error().message;
    EXPECT_EQ(*ids, QSet<QString>{"x"});
}
