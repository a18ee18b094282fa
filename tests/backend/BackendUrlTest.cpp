#include "backend/BackendUrl.h"
#include "backend/BackendTestSupport.h"

using namespace tessary;
using namespace tessary::test;

// The setting wins when it holds a usable string; https anywhere, plain http only for this
// computer; anything else fails with a message naming the setting, never the built-in origin.
TEST(BaseURL, TheSettingWhenUsableTheBuiltInOriginWhenAbsentElseAFailure)
{
    FakeSettingsStore settings;
    const auto base = [&](const QVariant& setting) {
        settings.values.insert("backendURL", setting);
        return backendBaseURL(settings);
    };
    EXPECT_EQ(*backendBaseURL(settings), QUrl(builtInBackendURL));
    EXPECT_EQ(*base(42), QUrl(builtInBackendURL));
    EXPECT_EQ(*base("  "), QUrl(builtInBackendURL));
    for (const char* url : {"https://staging.example.org/api/", "http://127.0.0.1:8080", "http://127.1.2.3",
                            "http://[::1]:9000", "http://localhost:1234", "http://LOCALHOST"}) {
        const auto accepted = base(url);
        EXPECT_TRUE(accepted && *accepted == QUrl(url)) << url;
    }
    for (const char* url : {"http://example.com", "http://10.0.0.1", "http://128.0.0.1",
                            "http://localhost.evil.com", "http://[::2]", "not a url",
                            "ftp://files.example.com", "https://", "file:///etc", "ht tp://me:s3/c:r@et@x"}) {
        const auto refused = base(url);
        ASSERT_FALSE(refused) << url;
        EXPECT_TRUE(refused.error().message.contains("\"backendURL\"")) << refused.error().message;
        EXPECT_FALSE(refused.error().message.contains("s3")) << refused.error().message;
        EXPECT_EQ(refused.error().status, 0);
    }
}

TEST(BaseURL, ThePathIsAppendedSegmentBySegment)
{
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {"https://api.example.com", "v1/messages/ids", "https://api.example.com/v1/messages/ids"},
        {"https://api.example.com/", "v1/accounts", "https://api.example.com/v1/accounts"},
        {"http://127.0.0.1:8080/tessary/", "v1/installs", "http://127.0.0.1:8080/tessary/v1/installs"},
        {"https://api.example.com/x?q=1#f", "v1/accounts", "https://api.example.com/x/v1/accounts"}};
    for (const auto& [base, path, expected] : rows)
        EXPECT_EQ(endpointURL(QUrl(base), path), QUrl(expected)) << base;
}

// Every other test's requests, the registration first, reach the server the setting names; a
// setting changed after the client was made is read for the next request.
using BackendURLOverride = BackendTest;

// A refused URL sends nothing and never reads the token, so it could not have been sent anywhere.
TEST_F(BackendURLOverride, ARefusedURLFailsTheRequestUnsent)
{
    settings.values.insert("backendURL", "http://backend.example.com");
    const auto refused = runTask(backend.accounts());
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.error().message.contains("\"backendURL\"")) << refused.error().message;
    EXPECT_EQ(secrets.calls, 0);
}
