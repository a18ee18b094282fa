#include "backend/BackendTestSupport.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QTemporaryDir>

using namespace tessary;
using namespace tessary::test;

namespace {

// A certificate authority and a server certificate for localhost it signed, made with openssl
// in a temporary folder for this run only.
class TestCertificates {
public:
    TestCertificates()
    {
        const QString config = dir.filePath("server.ext");
        QFile ext(config);
        ready = ext.open(QIODevice::WriteOnly) &&
                ext.write("subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n") > 0;
        ext.close();
        ready =
            ready &&
            run({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                 "/CN=Tessary Test CA", "-keyout", "ca.key", "-out", "ca.pem", "-addext",
                 "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign"}) &&
            run({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost", "-keyout", "server.key",
                 "-out", "server.csr"}) &&
            run({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
                 "-days", "2", "-extfile", "server.ext", "-out", "server.pem"});
    }

    QSslConfiguration serverConfiguration() const
    {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(QSslCertificate::fromPath(dir.filePath("server.pem")).value(0));
        QFile key(dir.filePath("server.key"));
        key.open(QIODevice::ReadOnly);
        configuration.setPrivateKey(QSslKey(key.readAll(), QSsl::Rsa));
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone); // the server asks no client certificate
        return configuration;
    }

    QSslConfiguration clientTrustingTestCA() const
    {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.addCaCertificates(QSslCertificate::fromPath(dir.filePath("ca.pem")));
        return configuration;
    }

    QTemporaryDir dir;
    bool ready = false;

private:
    bool run(const QStringList& arguments)
    {
        QProcess openssl;
        openssl.setWorkingDirectory(dir.path());
        openssl.start("openssl", arguments);
        return openssl.waitForFinished(60000) && openssl.exitStatus() == QProcess::NormalExit &&
               openssl.exitCode() == 0;
    }
};

} // namespace

class TlsVerification : public ::testing::Test {
protected:
    static void SetUpTestSuite() { certificates = new TestCertificates; }
    static void TearDownTestSuite() { delete certificates; }

    void SetUp() override
    {
        ASSERT_TRUE(certificates->ready) << "openssl could not make the test certificates";
        server = std::make_unique<FakeBackendServer>(certificates->serverConfiguration());
        settings.values.insert("backendURL", server->url().toString());
        secrets.values.insert("installToken", "t");
        server->script("v1/messages/ids", ScriptedReply::json(200, R"({"ids": ["m1"]})"));
    }

    static TestCertificates* certificates;
    std::unique_ptr<FakeBackendServer> server;
    FakeSettingsStore settings;
    FakeSecretStore secrets;
};

TestCertificates* TlsVerification::certificates = nullptr;

// Only a server signed by a CA the client trusts gets a request, and the token goes nowhere else:
// the system's CAs do not know the test CA, and switching verification off changes nothing.
TEST_F(TlsVerification, OnlyATrustedServerIsSentTheToken)
{
    QSslConfiguration careless = QSslConfiguration::defaultConfiguration();
    careless.setPeerVerifyMode(QSslSocket::VerifyNone);
    const struct {
        const char* name;
        std::optional<QSslConfiguration> tls;
        bool accepted;
    } rows[] = {
        {"trusted CA", certificates->clientTrustingTestCA(), true},
        {"system CAs", std::nullopt, false},
        {"verification off", careless, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        server->requests.clear();
        Backend backend(settings, secrets, {{}, row.tls});
        auto ids = runTask(backend.messageIds(0));
        ASSERT_EQ(bool(ids), row.accepted);
        if (row.accepted) {
            EXPECT_EQ(*ids, QSet<QString>{"m1"});
            EXPECT_EQ(server->requests.at(0).header("Authorization"), "Bearer t");
        } else {
            EXPECT_EQ(ids.error().status, 0);
            EXPECT_TRUE(ids.error().message.contains("SSL", Qt::CaseInsensitive)) << ids.error().message;
            EXPECT_TRUE(server->requests.isEmpty());
        }
    }
}
