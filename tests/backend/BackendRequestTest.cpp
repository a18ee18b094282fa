#include "backend/BackendTestSupport.h"

#include <chrono>
#include <functional>

using namespace tessary;
using namespace tessary::test;
using namespace std::chrono_literals;

namespace {

const QString accountsReply =
    QStringLiteral(R"({"accounts": [{"id": "a1", "provider": "gmail", "status": "active"}]})");

} // namespace

class TokenRegistration : public BackendTest {
protected:
    TokenRegistration()
    {
        secrets.values.clear();
        server.fallbackReply = ScriptedReply::json(200, accountsReply.toUtf8());
    }
};

TEST_F(TokenRegistration, ACleanStoreRegistersFirstThenSendsTheBearerToken)
{
    auto accounts = runTask(backend.accounts());
    ASSERT_TRUE(accounts) << accounts.error().message;

    ASSERT_EQ(server.requests.size(), 2);
    const RecordedRequest& install = server.requests.at(0);
    EXPECT_EQ(install.method, "POST");
    EXPECT_EQ(install.path, "v1/installs");
    EXPECT_FALSE(install.headers.contains("authorization"));
    EXPECT_TRUE(install.body.isEmpty());

    const RecordedRequest& list = server.requests.at(1);
    EXPECT_EQ(list.method, "GET");
    EXPECT_EQ(list.path, "v1/accounts");
    EXPECT_EQ(list.header("Authorization"), "Bearer token-1");
    EXPECT_EQ(list.header("Content-Type"), "application/json");
    EXPECT_EQ(secrets.values.value("installToken"), "token-1");
    EXPECT_EQ(secrets.calls, 2); // a read and a write: the registration itself never reads the store
}

// Requests that find no token while a registration is under way use the token it brings: a
// second install would take the place of the first, and the inboxes connected under it be lost.
TEST_F(TokenRegistration, ConcurrentFirstRequestsShareOneRegistration)
{
    auto first = backend.accounts();
    ASSERT_TRUE(runTask(backend.accounts()));
    ASSERT_TRUE(runTask(std::move(first)));
    EXPECT_EQ(server.issuedTokens(), 1);
    for (const RecordedRequest& list : server.requestsTo("v1/accounts"))
        EXPECT_EQ(list.header("Authorization"), "Bearer token-1");
}

TEST_F(TokenRegistration, A401ClearsTheTokenAndTheNextRequestRegistersAgain)
{
    secrets.values.insert("installToken", "revoked");
    server.script("v1/accounts", ScriptedReply::json(401, R"({"error": "Unknown install"})"));

    auto first = runTask(backend.accounts());
    ASSERT_FALSE(first);
    EXPECT_EQ(first.error(), (BackendError{401, "Unknown install"}));
    EXPECT_FALSE(secrets.values.contains("installToken"));

    ASSERT_TRUE(runTask(backend.accounts()));
    ASSERT_EQ(server.requests.size(), 3); // nothing retried: the failed call, then register and call
    EXPECT_EQ(server.requests.at(1).path, "v1/installs");
    EXPECT_EQ(server.requests.at(2).header("Authorization"), "Bearer token-1");

    // A 401 that answers an old token arrives after another request registered anew: the new
    // token stays, or the inboxes connected under it would be lost with it.
    server.script("v1/accounts", ScriptedReply::json(401, R"({"error": "Unknown install"})"));
    QObject::connect(&server, &FakeBackendServer::received, &server,
                     [this] { secrets.values.insert("installToken", "token-2"); });
    EXPECT_FALSE(runTask(backend.accounts()));
    EXPECT_EQ(secrets.values.value("installToken"), "token-2");
}

// A token goes only to the backend that issued it. One kept from before tokens were kept per
// backend belongs to the backend then set; another gets its own, and one switched back to finds
// its token again, though the other refused its own with a 401.
TEST_F(TokenRegistration, EachBackendGetsOnlyTheTokenItIssued)
{
    secrets.values.insert("installToken", "kept");
    FakeBackendServer other;
    other.script("v1/accounts", ScriptedReply::json(401, "{}"));
    for (const QString& url : {server.url().toString(), other.url().toString(), server.url().toString()}) {
        settings.values.insert("backendURL", url);
        runTask(backend.accounts());
    }
    EXPECT_EQ(other.requestsTo("v1/accounts").at(0).header("Authorization"), "Bearer token-1");
    for (const RecordedRequest& list : server.requestsTo("v1/accounts"))
        EXPECT_EQ(list.header("Authorization"), "Bearer kept");
    EXPECT_EQ(server.issuedTokens(), 0);
}

// A keyring locked at login, or slow to answer then, holds the token the inboxes were connected
// under: no other is registered meanwhile, and that one is used once the keyring gives it.
TEST_F(TokenRegistration, ALockedOrSilentKeyringsTokenIsWaitedForNotReplaced)
{
    secrets.values.insert("installToken", "kept");
    const std::pair<bool FakeSecretStore::*, QString> rows[] = {
        {&FakeSecretStore::locked, "The keyring is locked; unlock it to reach your inboxes"},
        {&FakeSecretStore::silent, "The keyring has not answered yet; your inboxes appear once it does"}};
    for (const auto& [state, message] : rows) {
        secrets.*state = true;
        const auto accounts = runTask(backend.accounts());
        ASSERT_FALSE(accounts);
        EXPECT_EQ(accounts.error().message, message);
        secrets.*state = false;
        ASSERT_TRUE(runTask(backend.accounts()));
        EXPECT_EQ(server.issuedTokens(), 0);
        EXPECT_EQ(server.requests.last().header("Authorization"), "Bearer kept");
    }
}

// A refused registration, or a token that could smuggle headers, fails the request unsent.
TEST_F(TokenRegistration, AFailedRegistrationOrAnUnsafeTokenFailsTheRequest)
{
    const std::pair<ScriptedReply, QString> rows[] = {
        {ScriptedReply::json(503, R"({"error": "Registration is closed"})"), "Registration is closed"},
        {ScriptedReply::json(200, R"({"token": "abc\r\nX-Injected: 1"})"), "token"}};
    for (const auto& [reply, message] : rows) {
        SCOPED_TRACE(message.toStdString());
        server.script("v1/installs", reply);
        const auto accounts = runTask(backend.accounts());
        ASSERT_FALSE(accounts);
        EXPECT_TRUE(accounts.error().message.contains(message)) << accounts.error().message;
        EXPECT_EQ(accounts.error().status, reply.status == 200 ? 0 : reply.status);
        EXPECT_TRUE(secrets.values.isEmpty());
        EXPECT_TRUE(server.requestsTo("v1/accounts").isEmpty());
    }
}

TEST_F(TokenRegistration, AnUnstorableTokenIsSimplyRequestedAgain)
{
    secrets.refuseWrites = true;
    ASSERT_TRUE(runTask(backend.accounts()));
    ASSERT_TRUE(runTask(backend.accounts()));
    EXPECT_EQ(server.issuedTokens(), 2);
    EXPECT_EQ(server.requests.at(3).header("Authorization"), "Bearer token-2");
}

using StatusRules = BackendTest;

TEST_F(StatusRules, OnlyTwoHundredIsSuccessAndAStringErrorMemberIsTheMessage)
{
    const struct {
        ScriptedReply reply;
        QString message;
    } rows[] = {
        {ScriptedReply::json(500, ""), "Server error 500"},
        {ScriptedReply::json(201, "{}"), "Server error 201"},
        {ScriptedReply::json(204, ""), "Server error 204"},
        {ScriptedReply::json(404, "{}"), "Server error 404"},
        // Qt files a 400 under its protocol errors; it is still the server's answer.
        {ScriptedReply::json(400, R"({"error": "Wrong email or app password"})"),
         "Wrong email or app password"},
        {ScriptedReply::json(422, R"({"error": {"code": 7}})"), "Server error 422"},
        {ScriptedReply::json(422, R"(["error"])"), "Server error 422"},
        {ScriptedReply::typed(422, "text/html", "<h1>error</h1>"), "Server error 422"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(failureOf(row.reply), (BackendError{row.reply.status, row.message})) << row.message;
    EXPECT_EQ(secrets.values.value("installToken"), "t"); // only a 401 drops the token
}

TEST_F(StatusRules, ARedirectToAnotherOriginIsNotFollowed)
{
    FakeBackendServer elsewhere;
    ScriptedReply redirect = ScriptedReply::json(307, "");
    redirect.extraHeaders = "Location: " + elsewhere.url().toEncoded() + "/v1/accounts\r\n";
    server.script("v1/accounts", redirect);
    EXPECT_FALSE(runTask(backend.accounts()));
    EXPECT_TRUE(elsewhere.requests.isEmpty()); // the token never left for the other origin
}

TEST_F(StatusRules, ATwoHundredIsReadByItsContentWhateverItsContentType)
{
    for (const QByteArray type : {"text/html", "", "text/plain; charset=utf-8", "application/json"}) {
        SCOPED_TRACE(type.toStdString());
        server.script("v1/accounts", ScriptedReply::typed(200, type, accountsReply.toUtf8()));
        const auto accounts = runTask(backend.accounts());
        ASSERT_TRUE(accounts) << accounts.error().message;
        EXPECT_EQ(accounts->size(), 1);
    }
}

// Each endpoint sends its body compact (an IMAP inbox always on port 993, as an integer; `since`
// to the sub-second) and hands back what the backend said, in its order. Trash (and remove, which
// tessary-inspect's tests send) takes any JSON for an answer, but not other text.
TEST_F(StatusRules, EachEndpointSendsItsBodyAndReadsItsReply)
{
    const struct {
        const char* path;
        QByteArray reply;
        std::function<bool()> call;
        QByteArray body;
    } rows[] = {
        {"v1/accounts/connect", R"({"url": "https://accounts.example/auth?x=1", "accountId": "a9"})",
         [&] {
             const auto link = runTask(backend.connect("gmail"));
             return link && link->url == QUrl("https://accounts.example/auth?x=1") && link->accountId == "a9";
         },
         R"({"provider":"gmail"})"},
        {"v1/messages/trash", "true", [&] { return bool(runTask(backend.trash("m7"))); }, R"({"id":"m7"})"},
        {"v1/accounts/imap",
         R"({"account": {"id": "a3", "provider": "imap", "email": "me@fastmail.com", "status": "active"}})",
         [&] {
             const auto added = runTask(backend.addIMAP("me@fastmail.com", "app pass", "imap.fastmail.com"));
             return added && added->email == "me@fastmail.com";
         },
         R"({"email":"me@fastmail.com","host":"imap.fastmail.com","password":"app pass","port":993})"},
        {"v1/messages", R"({"messages": [
            {"id": "m2", "subject": "s", "sender": "a@b.com", "text": "Your code is 123456"},
            {"id": "m1", "subject": "s", "sender": "a@b.com", "text": "t"}]})",
         [&] {
             const auto messages = runTask(backend.messages(1765015200.125));
             return messages && messages->size() == 2 && messages->at(0).id == "m2";
         },
         R"({"since":1765015200.125})"},
        {"v1/messages/ids", R"({"ids": []})",
         [&] { return bool(runTask(backend.messageIds(1765015260.375))); }, R"({"since":1765015260.375})"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        server.script(row.path, ScriptedReply::json(200, row.reply));
        EXPECT_TRUE(row.call());
        EXPECT_EQ(server.requests.last().path, row.path);
        EXPECT_EQ(server.requests.last().body, row.body);
    }
}

using HostileReplies = BackendTest;

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

// A request to a server that never answers times out, or ends at once when cancelled in flight;
// one cancelled before it starts sends nothing; and the client stays usable.
TEST_F(HostileReplies, ASilentServerTimesOutOrIsCancelledAndTheClientStaysUsable)
{
    CancelToken early = makeCancelToken();
    early->cancel();
    auto unsent = runTask(backend.messageIds(0, early));
    ASSERT_FALSE(unsent);
    EXPECT_EQ(unsent.error(), cancelledError());
    EXPECT_TRUE(server.requests.isEmpty());

    ScriptedReply silence;
    silence.ending = ScriptedReply::Ending::never;
    Backend impatient(settings, secrets, {.limits = {.timeout = 300ms}, .tls = std::nullopt});
    EXPECT_EQ(failureOf(silence, &impatient), (BackendError{0, "The request timed out."}));

    server.script("v1/messages/ids", silence);
    server.script("v1/messages/ids", ScriptedReply::json(200, R"({"ids": ["x"]})"));
    // Cancelled once the server holds the request, so the cancel meets it in flight however slowly
    // the test runs.
    CancelToken cancel = makeCancelToken();
    QObject::connect(&server, &FakeBackendServer::received, cancel.get(), [cancel](const QString& path) {
        if (path == "v1/messages/ids")
            cancel->cancel();
    });
    const auto cancelled = runTask(backend.messageIds(0, cancel));
    ASSERT_FALSE(cancelled);
    EXPECT_EQ(cancelled.error(), cancelledError());
    EXPECT_EQ(server.requestsTo("v1/messages/ids").size(), 1);

    auto ids = runTask(backend.messageIds(0));
    ASSERT_TRUE(ids) << ids.error().message;
    EXPECT_EQ(*ids, QSet<QString>{"x"});
}
