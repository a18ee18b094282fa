#include "backend/BackendUrl.h"
#include "backend/BackendTestSupport.h"
#include "support/TestCertificates.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QTemporaryDir>

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

// A server with a certificate for localhost from a certificate authority made for this run only,
// in place of the fixture's plain one.
class TlsVerification : public BackendTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(makeTestCertificates(dir.path(), "localhost", "DNS:localhost,IP:127.0.0.1"))
            << "openssl could not make the test certificates";
        QSslConfiguration served = QSslConfiguration::defaultConfiguration();
        served.setLocalCertificate(QSslCertificate::fromPath(dir.filePath("server.pem")).value(0));
        QFile key(dir.filePath("server.key"));
        ASSERT_TRUE(key.open(QIODevice::ReadOnly));
        served.setPrivateKey(QSslKey(key.readAll(), QSsl::Ec));
        served.setPeerVerifyMode(QSslSocket::VerifyNone); // the server asks no client certificate
        tlsServer = std::make_unique<FakeBackendServer>(served);
        settings.values.insert("backendURL", tlsServer->url().toString());
        tlsServer->script("v1/messages/ids", ScriptedReply::json(200, R"({"ids": ["m1"]})"));
    }

    QTemporaryDir dir;
    std::unique_ptr<FakeBackendServer> tlsServer;
};

// Only a server signed by a CA the client trusts gets a request, and the token goes nowhere else:
// the system's CAs do not know the test CA, and switching verification off changes nothing.
TEST_F(TlsVerification, OnlyATrustedServerIsSentTheToken)
{
    QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
    trusting.addCaCertificates(QSslCertificate::fromPath(dir.filePath("ca.pem")));
    QSslConfiguration careless = QSslConfiguration::defaultConfiguration();
    careless.setPeerVerifyMode(QSslSocket::VerifyNone);
    const struct {
        const char* name;
        std::optional<QSslConfiguration> tls;
        bool accepted;
    } rows[] = {
        {"trusted CA", trusting, true},
        {"system CAs", std::nullopt, false},
        {"verification off", careless, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        tlsServer->requests.clear();
        Backend client(settings, secrets, {{}, row.tls});
        auto ids = runTask(client.messageIds(0));
        ASSERT_EQ(bool(ids), row.accepted);
        if (row.accepted) {
            EXPECT_EQ(*ids, QSet<QString>{"m1"});
            EXPECT_EQ(tlsServer->requests.at(0).header("Authorization"), "Bearer t");
        } else {
            EXPECT_EQ(ids.error().status, 0);
            EXPECT_TRUE(ids.error().message.contains("SSL", Qt::CaseInsensitive)) << ids.error().message;
            EXPECT_TRUE(tlsServer->requests.isEmpty());
        }
    }
}
