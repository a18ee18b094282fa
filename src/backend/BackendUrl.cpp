#include "backend/BackendUrl.h"

#include <QHostAddress>

namespace tessary {

namespace {

BackendError unusable(const QString& source, const QString& problem)
{
    return {0, QStringLiteral("The %1 setting is not a usable backend address: %2.").arg(source, problem)};
}

// The address as typed, less the password of any user in it, since the text reaches reports users
// attach to bug reports. An address that does not parse has no reliable bounds to its user part:
// the password is taken to run from the first colon after the scheme's "://" to the last "@", so
// one holding "/", ":" or "@" is left out whole (and so is a port before an "@" in a path).
QString withoutPassword(const QString& text)
{
    qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon >= 0 && text.mid(colon + 1, 2) == QLatin1String("//"))
        colon = text.indexOf(QLatin1Char(':'), colon + 1);
    const qsizetype at = text.lastIndexOf(QLatin1Char('@'));
    if (colon < 0 || at < colon)
        return text;
    return text.left(colon) + text.mid(at);
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
        return Unexpected{unusable(source, QStringLiteral("\"%1\" is not a URL").arg(withoutPassword(text)))};
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
