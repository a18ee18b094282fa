#include "tools/InspectBackend.h"

#include <QDateTime>
#include <QJsonArray>

#include <cmath>
#include <cstdio>

namespace tessary::inspect {

ParsedArguments parseBackendArguments(const QStringList& arguments, QStringList optionsWithValue,
                                      qsizetype positionalCount, const QString& usage,
                                      const QStringList& flags)
{
    optionsWithValue.append(backendOption);
    ParsedArguments parsed = parseArguments(arguments, optionsWithValue, flags);
    if (parsed.error.isEmpty() && parsed.positional.size() != positionalCount)
        parsed.error = QStringLiteral("usage: %1").arg(usage);
    if (parsed.error.isEmpty() && parsed.options.count(backendOption) > 1)
        parsed.error = QStringLiteral("%1 may be given once").arg(backendOption);
    // An empty address (an unset variable) names no backend; let through, it reached the built-in one.
    if (parsed.error.isEmpty() && parsed.options.contains(backendOption) &&
        parsed.options.value(backendOption).trimmed().isEmpty())
        parsed.error =
            QStringLiteral("%1 needs a URL, such as https://backend.example.org").arg(backendOption);
    if (!parsed.error.isEmpty())
        printError(parsed.error);
    return parsed;
}

std::optional<QString> backendOverride(const ParsedArguments& parsed)
{
    if (!parsed.options.contains(backendOption))
        return std::nullopt;
    return parsed.options.value(backendOption);
}

std::optional<TimePoint> sinceOrDefault(const ParsedArguments& parsed)
{
    if (!parsed.options.contains(sinceOption))
        return QDateTime::currentMSecsSinceEpoch() / 1000.0 - 180.0;
    bool ok = false;
    const double since = parsed.options.value(sinceOption).toDouble(&ok);
    if (!ok || !std::isfinite(since)) {
        printError(QStringLiteral("%1 needs seconds since 1970, such as 1765015200.5").arg(sinceOption));
        return std::nullopt;
    }
    return since;
}

int reportFailure(const BackendError& error)
{
    const QByteArray bytes = error.message.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    return exitFailure;
}

QJsonObject accountJson(const Account& account)
{
    QJsonObject object{{QStringLiteral("id"), account.id},
                       {QStringLiteral("provider"), account.provider},
                       {QStringLiteral("email"), account.email ? QJsonValue(*account.email) : QJsonValue()},
                       {QStringLiteral("status"), account.status}};
    if (account.error)
        object.insert(QStringLiteral("error"), *account.error);
    return object;
}

QJsonObject messageJson(const Message& message)
{
    QJsonArray links;
    for (const MessageLink& link : message.links)
        links.append(QJsonObject{{QStringLiteral("url"), link.url}, {QStringLiteral("text"), link.text}});
    QJsonObject object{{QStringLiteral("id"), message.id},
                       {QStringLiteral("subject"), message.subject},
                       {QStringLiteral("sender"), message.sender},
                       {QStringLiteral("text"), message.text},
                       {QStringLiteral("links"), links}};
    if (message.receivedAt)
        object.insert(QStringLiteral("receivedAt"), *message.receivedAt);
    return object;
}

} // namespace tessary::inspect
