#include "backend/BackendUrl.h"

#include <QHostAddress>

namespace tessary {

namespace {

BackendError unusable(const QString& source, const QString& problem)
{
    return {0, QStringLiteral("The %1 setting is not a usable backend address: %2.").arg(source, problem)};
}

} // namespace

bool isLoopbackHost(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

BackendResult<QUrl> checkBaseURL(const QString& text, const QString& source)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return Unexpected{unusable(source, QStringLiteral("\"%1\" is not a URL").arg(text))};
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return url;
    if (scheme == QLatin1String("http")) {
        if (isLoopbackHost(url.host()))
            return url;
        return Unexpected{
            unusable(source, QStringLiteral("plain http is allowed only for this computer; use https"))};
    }
    return Unexpected{unusable(source, QStringLiteral("only https addresses are allowed"))};
}

BackendResult<QUrl> backendBaseURL(const SettingsStore& settings)
{
    static const QString key = QStringLiteral("backendURL");
    const QVariant value = settings.value(key);
    if (value.typeId() == QMetaType::QString && !value.toString().trimmed().isEmpty())
        return checkBaseURL(value.toString(), QStringLiteral("\"backendURL\""));
    return QUrl(QString::fromLatin1(builtInBackendURL));
}

QUrl endpointURL(const QUrl& base, const QString& path)
{
    QUrl url = base;
    QString basePath = base.path();
    while (basePath.endsWith(QLatin1Char('/')))
        basePath.chop(1);
    url.setPath(basePath + QLatin1Char('/') + path);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

} // namespace tessary
