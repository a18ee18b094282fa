#include "backend/BackendTestSupport.h"

#include <chrono>
#include <functional>

using namespace tessary;
using namespace tessary::test;
using namespace std::chrono_literals;

class HostileReplies : public BackendTest {
protected:
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

// Each reply a hostile or broken server could send fails the request with its own error, never a
// half-read result: the size limit, undecodable text, nesting that would exhaust the parser, and
// a body cut off by the transport (its own failure, not a half body handed to the decoder).
TEST_F(HostileReplies, EachBrokenReplyFailsWithItsOwnError)
{
    ScriptedReply cutOff =
        ScriptedReply::json(200, R"({"messages": [{"id": "m1", "subject": "s", "sender": "a"}]})");
    cutOff.ending = ScriptedReply::Ending::closeMidBody;
    const QByteArray undecodable = QByteArray(R"({"messages": [{"id": "m", "subject": ")") + "\xff\xfe" +
                                   R"(", "sender": "a", "text": "t"}]})";
    const struct {
        const char* name;
        ScriptedReply reply;
        std::function<bool(const QString&)> expected;
    } rows[] = {
        {"over 16 MB",
         ScriptedReply::json(200, R"({"messages": [)" + QByteArray(16 * 1024 * 1024, ' ') + "]}"),
         [](const QString& m) { return m == "The server's reply is larger than 16 MB."; }},
        {"invalid UTF-8", ScriptedReply::json(200, undecodable),
         [](const QString& m) { return m.startsWith("The server's reply could not be read"); }},
        {"absurdly deep",
         ScriptedReply::json(200,
                             R"({"messages": )" + QByteArray(100000, '[') + QByteArray(100000, ']') + "}"),
         [](const QString& m) { return m.contains("not valid JSON"); }},
        {"closed mid-body", cutOff,
         [](const QString& m) {
             return !m.isEmpty() && !m.startsWith("The server's reply could not be read");
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const BackendError error = failureOf(row.reply);
        EXPECT_EQ(error.status, 0);
        EXPECT_TRUE(row.expected(error.message)) << error.message;
    }
}

TEST_F(HostileReplies, AServerThatNeverAnswersTimesOut)
{
    ScriptedReply silence;
    silence.ending = ScriptedReply::Ending::never;
    Backend impatient(settings, secrets, {.limits = {.timeout = 300ms}, .tls = std::nullopt});
    EXPECT_EQ(failureOf(silence, &impatient), (BackendError{0, "The request timed out."}));
}

TEST_F(HostileReplies, CancellingSendsNothingOrAbortsTheReplyInFlightAndLeavesTheClientUsable)
{
    CancelToken early = makeCancelToken();
    early->cancel();
    auto unsent = runTask(backend.messageIds(0, early));
    ASSERT_FALSE(unsent);
    EXPECT_EQ(unsent.error(), cancelledError());
    EXPECT_TRUE(server.requests.isEmpty());

    ScriptedReply silence;
    silence.ending = ScriptedReply::Ending::never;
    server.script("v1/messages/ids", silence);
    server.script("v1/messages/ids", ScriptedReply::json(200, R"({"ids": ["x"]})"));
    CancelToken cancel = cancelOnArrival("v1/messages/ids");
    const auto cancelled = runTask(backend.messageIds(0, cancel));
    ASSERT_FALSE(cancelled);
    EXPECT_EQ(cancelled.error(), cancelledError());
    EXPECT_EQ(server.requestsTo("v1/messages/ids").size(), 1);

    auto ids = runTask(backend.messageIds(0));
    ASSERT_TRUE(ids) << ids.error().message;
    EXPECT_EQ(*ids, QSet<QString>{"x"});
}
