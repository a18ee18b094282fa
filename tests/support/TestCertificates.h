#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace tessary::test {

// Makes in `folder`, with openssl, a throw-away certificate authority (ca.pem, ca.key) and a server
// certificate it signed for `commonName` and the subject alternative names `altNames`
// ("DNS:localhost,IP:127.0.0.1") as server.pem and server.key, valid for two days. Keys are EC: quick to
// make.
inline bool makeTestCertificates(const QString& folder, const QString& commonName, const QString& altNames)
{
    const auto openssl = [&folder](const QStringList& arguments) {
        QProcess process;
        process.setWorkingDirectory(folder);
        process.start(QStringLiteral("openssl"), arguments);
        return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    };
    QFile extensions(folder + QStringLiteral("/server.ext"));
    return extensions.open(QIODevice::WriteOnly) &&
           extensions.write("subjectAltName=" + altNames.toUtf8() + "\nbasicConstraints=CA:FALSE\n") > 0 &&
           extensions.flush() &&
           openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-days", "2", "-subj", "/CN=Tessary Test CA", "-keyout", "ca.key", "-out", "ca.pem",
                    "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                    "keyUsage=critical,keyCertSign,cRLSign"}) &&
           openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-subj",
                    "/CN=" + commonName, "-keyout", "server.key", "-out", "server.csr"}) &&
           openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                    "-CAcreateserial", "-days", "2", "-extfile", "server.ext", "-out", "server.pem"});
}

} // namespace tessary::test
