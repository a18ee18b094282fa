#include "backend/BackendTestSupport.h"
#include "support/TestCertificates.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QTemporaryDir>

using namespace tessary;
using namespace tessary::test;

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
