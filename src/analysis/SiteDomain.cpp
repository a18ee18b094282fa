#include "analysis/SiteDomain.h"

#include <QHostAddress>
#include <QUrl>

#include <libpsl.h>

#include <memory>

namespace tessary {

namespace {

// The index of the first label of the longest public suffix among `labels`: "co.uk" in
// shop.example.co.uk, "com" in example.com, the last label for a name the list does not know.
// Only the suffixes of countries and registries count: a name a service lends its customers
// (team.atlassian.net) stays the service's site, as its mail comes from the service.
qsizetype publicSuffixStart(const QStringList& labels)
{
    // The newest of the list built into libpsl and the system's copy, read once.
    static const std::unique_ptr<psl_ctx_t, decltype(&psl_free)> list(psl_latest(nullptr), &psl_free);
    for (qsizetype first = 0; list && first < labels.size() - 1; ++first) {
        const QByteArray suffix = labels.mid(first).join(QLatin1Char('.')).toUtf8();
        if (psl_is_public_suffix2(list.get(), suffix.constData(), PSL_TYPE_ICANN))
            return qMax<qsizetype>(first, 1);
    }
    return qMax<qsizetype>(labels.size() - 1, 1);
}

// A label in the ASCII form mail headers use ("xn--bcher-kva" for "bücher"), so that the page
// "bücher.de" and its sender "@xn--bcher-kva.de" name one site; one that has no such form stays.
QString asciiLabel(const QString& label)
{
    const QByteArray ascii = QUrl::toAce(label);
    return ascii.isEmpty() ? label : QString::fromLatin1(ascii);
}

} // namespace

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
    QStringList labels = host.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    if (labels.isEmpty())
        return QString();
    // A port stays on the last label, but the suffix is looked up without it.
    const QString port = labels.last().section(QLatin1Char(':'), 1);
    labels.last() = labels.last().section(QLatin1Char(':'), 0, 0);
    for (QString& label : labels)
        label = asciiLabel(label);
    const QString portSuffix = port.isEmpty() ? QString() : QLatin1Char(':') + port;
    return labels.mid(publicSuffixStart(labels) - 1).join(QLatin1Char('.')) + portSuffix;
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
