#include "server/ServerConfig.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace tessary::server {

Q_LOGGING_CATEGORY(logServer, "tessary.server", QtWarningMsg)

namespace {
const QString servedMark = QStringLiteral("served-another-machine");
} // namespace

ImapRoute ImapSettings::routeFor(const QString& host) const
{
    const auto found = routes.constFind(host.toLower());
    if (found != routes.constEnd())
        return *found;
    return ImapRoute{host, 993};
}

Expected<ImapSettings, QString> loadImapSettings(const QString& dataDir)
{
    ImapSettings settings;
    QFile file(QDir(dataDir).filePath(QStringLiteral("backend.json")));
    if (!file.exists())
        return settings;
    if (!file.open(QIODevice::ReadOnly))
        return Unexpected{QStringLiteral("Can't read %1").arg(file.fileName())};
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!document.isObject())
        return Unexpected{
            QStringLiteral("%1 is not a JSON object: %2").arg(file.fileName(), parseError.errorString())};
    const QJsonObject root = document.object();
    settings.trustedCaFile = root.value(QStringLiteral("imapCAFile")).toString();
    const QJsonObject hosts = root.value(QStringLiteral("imapHosts")).toObject();
    for (auto it = hosts.begin(); it != hosts.end(); ++it) {
        const QString target = it.value().toString();
        const qsizetype colon = target.lastIndexOf(QLatin1Char(':'));
        bool ok = colon > 0;
        const uint port = ok ? target.mid(colon + 1).toUInt(&ok) : 0;
        if (!ok || port == 0 || port > 65535)
            return Unexpected{QStringLiteral("imapHosts: \"%1\" is not ADDRESS:PORT").arg(target)};
        settings.routes.insert(it.key().toLower(),
                               ImapRoute{target.left(colon), static_cast<uint16_t>(port)});
    }
    const QJsonObject oauth = root.value(QStringLiteral("oauth")).toObject();
    for (auto it = oauth.begin(); it != oauth.end(); ++it) {
        auto provider = knownProvider(it.key());
        const QJsonObject entry = it.value().toObject();
        if (!provider)
            return Unexpected{QStringLiteral("oauth: \"%1\" is not gmail or outlook").arg(it.key())};
        const auto take = [&entry](const char* key, QString& into) {
            into = entry.value(key).toString(into);
        };
        take("clientId", provider->clientId);
        take("clientSecret", provider->clientSecret);
        take("authorizeUrl", provider->authorizeUrl);
        take("tokenUrl", provider->tokenUrl);
        take("scope", provider->scope);
        take("imapHost", provider->imapHost);
        take("caFile", provider->caFile);
        if (!provider->clientId.isEmpty())
            settings.oauth.insert(it.key(), *provider);
    }
    return settings;
}

bool hasServedAnotherMachine(const QString& dataDir)
{
    return QFile::exists(QDir(dataDir).filePath(servedMark));
}

void markServedAnotherMachine(const QString& dataDir)
{
    QFile mark(QDir(dataDir).filePath(servedMark));
    if (!mark.open(QIODevice::WriteOnly))
        qCWarning(logServer) << "Can't write" << mark.fileName() << "-" << mark.errorString()
                             << "- private addresses are refused only until the next start";
}

} // namespace tessary::server
