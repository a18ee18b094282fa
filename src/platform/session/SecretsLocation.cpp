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
    // A keyring that has not answered may hold the token: where it is, only the keyring can say.
    const TokenPlace token = !holder && connection.keyring.isSilent() ? TokenPlace::keyringSilent
                             : tokenInKeyring                         ? TokenPlace::keyring
                                                                      : TokenPlace::file;
    const QString keyFolder = BackendConnection::embeddedDataFolder();
    // The backend moves its key into the keyring when it can and leaves the file only otherwise.
    const std::optional<bool> keyInFile =
        connection.embedded ? std::optional(QFile::exists(keyFolder + QStringLiteral("/credentials.key")))
                            : std::nullopt;
    co_return secretsPlace(token, keyInFile, homeRelative(connection.tokenFile.location()),
                           homeRelative(keyFolder));
}

QString secretsPlace(TokenPlace token, std::optional<bool> keyInFile, const QString& tokenFolder,
                     const QString& keyFolder)
{
    if (token == TokenPlace::keyringSilent)
        return QStringLiteral("Waiting for the keyring");
    const bool tokenInKeyring = token == TokenPlace::keyring;
    const QString keyring = QStringLiteral("the keyring");
    if (!keyInFile)
        return QStringLiteral("Token in %1").arg(tokenInKeyring ? keyring : tokenFolder);
    if (tokenInKeyring && !*keyInFile)
        return QStringLiteral("In the keyring");
    if (!tokenInKeyring && *keyInFile)
        return QStringLiteral("In owner-only files in %1").arg(tokenFolder);
    return QStringLiteral("Token in %1, key in %2")
        .arg(tokenInKeyring ? keyring : tokenFolder, *keyInFile ? keyFolder : keyring);
}

} // namespace tessary
