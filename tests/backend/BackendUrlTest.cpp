#include "backend/BackendUrl.h"
#include "backend/BackendTestSupport.h"

using namespace tessary;
using namespace tessary::test;

TEST(BaseURL, TheBuiltInOriginUnlessTheSettingHoldsAString)
{
    FakeSettingsStore settings;
    EXPECT_EQ(*backendBaseURL(settings), QUrl(builtInBackendURL));
    EXPECT_EQ(QUrl(builtInBackendURL).scheme(), "https");
    settings.values.insert("backendURL", 42);
    EXPECT_EQ(*backendBaseURL(settings), QUrl(builtInBackendURL));
    settings.values.insert("backendURL", "  ");
    EXPECT_EQ(*backendBaseURL(settings), QUrl(builtInBackendURL));
    settings.values.insert("backendURL", "https://staging.example.org/api/");
    EXPECT_EQ(*backendBaseURL(settings), QUrl("https://staging.example.org/api/"));
}

TEST(BaseURL, PlainHttpOnlyForThisComputer)
{
    for (const char* url : {"http://127.0.0.1:8080", "http://127.1.2.3", "http://[::1]:9000",
                            "http://localhost:1234", "http://LOCALHOST"})
        EXPECT_TRUE(checkBaseURL(url, "\"backendURL\"")) << url;
    for (const char* url : {"http://example.com", "http://10.0.0.1", "http://128.0.0.1",
                            "http://localhost.evil.com", "http://[::2]"})
        EXPECT_FALSE(checkBaseURL(url, "\"backendURL\"")) << url;
}

TEST(BaseURL, AnUnusableSettingFailsWithAMessageNamingIt)
{
    FakeSettingsStore settings;
    for (const char* url :
         {"not a url", "ftp://files.example.com", "http://example.com", "https://", "file:///etc"}) {
        settings.values.insert("backendURL", url);
        auto base = backendBaseURL(settings);
        ASSERT_FALSE(base) << url;
        EXPECT_TRUE(base.error().message.contains("\"backendURL\"")) << base.error().message;
        EXPECT_EQ(base.error().status, 0);
    }
}

TEST(BaseURL, ThePathIsAppendedSegmentBySegment)
{
    EXPECT_EQ(endpointURL(QUrl("https://api.example.com"), "v1/messages/ids"),
              QUrl("https://api.example.com/v1/messages/ids"));
    EXPECT_EQ(endpointURL(QUrl("https://api.example.com/"), "v1/accounts"),
              QUrl("https://api.example.com/v1/accounts"));
    EXPECT_EQ(endpointURL(QUrl("http://127.0.0.1:8080/tessary/"), "v1/installs"),
              QUrl("http://127.0.0.1:8080/tessary/v1/installs"));
    EXPECT_EQ(endpointURL(QUrl("https://api.example.com/x?q=1#f"), "v1/accounts"),
              QUrl("https://api.example.com/x/v1/accounts"));
}

class BackendURLOverride : public BackendTest {};

TEST_F(BackendURLOverride, EveryRequestIncludingRegistrationGoesToTheSetting)
{
    FakeBackendServer other;
    other.script("v1/messages/ids", ScriptedReply::json(200, R"({"ids": []})"));
    settings.values.insert("backendURL", other.url().toString() + "/");
    ASSERT_TRUE(runTask(backend.messageIds(0)));
    EXPECT_TRUE(server.requests.isEmpty());
    ASSERT_EQ(other.requests.size(), 2);
    EXPECT_EQ(other.requests.at(0).path, "v1/installs");
    EXPECT_EQ(other.requests.at(1).path, "v1/messages/ids");
}

TEST_F(BackendURLOverride, ARefusedURLSendsNothingAndLeavesTheTokenAlone)
{
    secrets.values.insert("installToken", "t");
    settings.values.insert("backendURL", "http://backend.example.com");
    auto accounts = runTask(backend.accounts());
    ASSERT_FALSE(accounts);
    EXPECT_TRUE(accounts.error().message.contains("\"backendURL\"")) << accounts.error().message;
    EXPECT_EQ(secrets.reads, 0); // the token was never read, so it could not have been sent anywhere
    EXPECT_TRUE(server.requests.isEmpty());
}

TEST_F(BackendURLOverride, AnUnreachableBackendIsATransportError)
{
    settings.values.insert("backendURL", "http://127.0.0.1:1");
    secrets.values.insert("installToken", "t");
    auto accounts = runTask(backend.accounts());
    ASSERT_FALSE(accounts);
    EXPECT_EQ(accounts.error().status, 0);
    EXPECT_FALSE(accounts.error().message.isEmpty());
}
