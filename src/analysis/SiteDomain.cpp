#include "analysis/SiteDomain.h"

#include <QHostAddress>

namespace tessary {

QString siteDomain(const QString& text)
{
    QString lower = text.toLower();
    lower.remove(QLatin1String("https://"));
    lower.remove(QLatin1String("http://"));
    const QStringList pieces = lower.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const QString host = pieces.isEmpty() ? text : pieces.first();
    // An address has no labels to drop: "127.0.0.1" is its own site, not "0.1".
    if (QHostAddress(host.section(QLatin1Char(':'), 0, 0)).protocol() == QAbstractSocket::IPv4Protocol)
        return host;
    const QStringList labels = host.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    return labels.mid(qMax<qsizetype>(labels.size() - 2, 0)).join(QLatin1Char('.'));
}

QString senderSiteDomain(const QString& sender)
{
    const QStringList parts = sender.split(QLatin1Char('<'), Qt::SkipEmptyParts);
    QString address = sender;
    if (!parts.isEmpty()) {
        address = parts.last();
        qsizetype begin = 0;
        qsizetype end = address.size();
        const auto trimmed = [](QChar c) { return c == QLatin1Char('>') || c == QLatin1Char(' '); };
        while (begin < end && trimmed(address.at(begin)))
            ++begin;
        while (end > begin && trimmed(address.at(end - 1)))
            --end;
        address = address.mid(begin, end - begin);
    }
    const QStringList halves = address.split(QLatin1Char('@'), Qt::SkipEmptyParts);
    return siteDomain(halves.isEmpty() ? QString() : halves.last().toLower());
}

const QHash<QString, QStringList>& domainAliases()
{
    static const QHash<QString, QStringList> aliases = {
        {QStringLiteral("notion.so"), {QStringLiteral("makenotion.com")}},
        {QStringLiteral("notion.com"), {QStringLiteral("makenotion.com")}},
        {QStringLiteral("claude.ai"), {QStringLiteral("anthropic.com")}},
        {QStringLiteral("x.com"), {QStringLiteral("twitter.com")}},
        {QStringLiteral("twitter.com"), {QStringLiteral("x.com")}},
        {QStringLiteral("chatgpt.com"), {QStringLiteral("openai.com")}},
        {QStringLiteral("figma.com"), {QStringLiteral("figmamail.com")}},
        {QStringLiteral("atlassian.net"), {QStringLiteral("atlassian.com")}},
        {QStringLiteral("zoom.us"), {QStringLiteral("zoom.com")}},
        {QStringLiteral("microsoft.com"),
         {QStringLiteral("microsoftonline.com"), QStringLiteral("live.com")}},
    };
    return aliases;
}

QSet<QString> expandDomains(const QStringList& domains)
{
    QSet<QString> sites;
    for (const QString& domain : domains)
        sites.insert(siteDomain(domain));
    QSet<QString> expanded = sites;
    for (const QString& site : sites)
        for (const QString& alias : domainAliases().value(site))
            expanded.insert(alias);
    return expanded;
}

} // namespace tessary
