// tessary-inspect token [--backend URL]: where the install token is kept (never the token).

#include "backend/BackendUrl.h"
#include "tools/InspectBackend.h"

namespace tessary::inspect {

namespace {

int runToken(const QStringList& arguments)
{
    const ParsedArguments parsed =
        parseBackendArguments(arguments, {}, 0, QStringLiteral("token [--backend URL]"));
    if (!parsed.error.isEmpty())
        return exitBadInput;
    BackendSession session(backendOverride(parsed));
    const QString key = session.backend.tokenKey();
    const SecretStore* holder = runToEnd(session.secrets.holder(key));
    const auto base = backendBaseURL(session.settings);

    QJsonObject report{{"stored", holder != nullptr},
                       {"key", key},
                       {"backend", base ? QJsonValue(base->toString(QUrl::RemovePassword))
                                        : QJsonValue(base.error().message)}};
    if (holder == &session.tokenFile) {
        report.insert("store", "file");
        report.insert("location", session.tokenFile.filePath(key));
    } else if (holder == &session.keyring) {
        report.insert("store", "secretService");
        report.insert("location", session.keyring.location());
    } else {
        report.insert("store", QJsonValue());
        report.insert("location", session.secrets.location());
    }
    printJson(report);
    return exitOk;
}

const bool backendTokenRegistered =
    registerCommand({.name = QStringLiteral("token"),
                     .usage = QStringLiteral("[--backend URL]"),
                     .description = QStringLiteral("where the install token is kept (never the token)"),
                     .example = QStringLiteral("tessary-inspect token"),
                     .group = QStringLiteral("backend"),
                     .needs = Needs::core,
                     .run = runToken});

} // namespace

} // namespace tessary::inspect
