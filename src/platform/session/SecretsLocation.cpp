#include "platform/session/SecretsLocation.h"

#include <QDir>
#include <QFile>

namespace tessary {

namespace {

QString homeRelative(const QString& path)
{
    const QString home = QDir::homePath();
    return path.startsWith(home + QLatin1Char('/')) ? QLatin1Char('~') + path.mid(home.size()) : path;
}

} // namespace

QCoro::Task<QString> secretsLocation(BackendConnection& connection)
{
    const SecretStore* holder = co_await connection.secrets.holder(connection.backend.tokenKey());
    const bool tokenInKeyring = holder ? holder == &connection.keyring : connection.keyring.isAvailable();
    const QString folder = homeRelative(connection.tokenFile.location());
    const QString keyring = QStringLiteral("the keyring");
    if (!connection.embedded)
        co_return QStringLiteral("Token in %1").arg(tokenInKeyring ? keyring : folder);
    // The backend moves its key into the keyring when it can and leaves the file only otherwise.
    const QString keyFolder = BackendConnection::embeddedDataFolder();
    const bool keyInFile = QFile::exists(keyFolder + QStringLiteral("/credentials.key"));
    if (tokenInKeyring && !keyInFile)
        co_return QStringLiteral("In the keyring");
    if (!tokenInKeyring && keyInFile)
        co_return QStringLiteral("In owner-only files in %1").arg(folder);
    co_return QStringLiteral("Token in %1, key in %2")
        .arg(tokenInKeyring ? keyring : folder, keyInFile ? homeRelative(keyFolder) : keyring);
}

} // namespace tessary
