#include "server/OAuthClient.h"

#include "server/CredentialCipher.h"
#include "server/FormPost.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

namespace tessary::server {

namespace {

QByteArray base64Url(const QByteArray& data)
{
    return data.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

// The e-mail address in an ID token's claims. The token came straight from the provider's token
// endpoint over TLS, so its signature need not be checked to trust it (OpenID Connect 3.1.3.7).
QString emailFromIdToken(const QString& idToken)
{
    const QList<QByteArray> parts = idToken.toLatin1().split('.');
    if (parts.size() != 3)
        return {};
    const QJsonObject claims =
        QJsonDocument::fromJson(QByteArray::fromBase64(parts[1], QByteArray::Base64UrlEncoding)).object();
    const QString email = claims.value("email").toString();
    return email.isEmpty() ? claims.value("preferred_username").toString() : email;
}

using Form = QList<std::pair<QByteArray, QByteArray>>;

Expected<OAuthTokens, OAuthError> postToTokenEndpoint(const OAuthProvider& provider, Form form,
                                                      const WakeFlag* stop = nullptr)
{
    const QUrl url(provider.tokenUrl);
    const bool tls = url.scheme() == QLatin1String("https");
    if (!url.isValid() || (!tls && url.host() != QLatin1String("127.0.0.1")))
        return Unexpected{OAuthError{
            QStringLiteral("The sign-in service's address \"%1\" is not usable").arg(provider.tokenUrl)}};
    form.append({"client_id", provider.clientId.toUtf8()});
    if (!provider.clientSecret.isEmpty())
        form.append({"client_secret", provider.clientSecret.toUtf8()});
    const auto reply = postForm(url, form, provider.caFile, std::chrono::seconds(25), stop);
    if (!reply)
        return Unexpected{OAuthError{QStringLiteral("Can't reach %1").arg(url.host())}};
    const QJsonObject body = QJsonDocument::fromJson(reply->body).object();
    if (reply->status != 200) {
        if (body.value("error").toString() == QLatin1String("invalid_grant"))
            return Unexpected{OAuthError{
                QStringLiteral("The sign-in was revoked or has expired; connect this inbox again"), true}};
        return Unexpected{
            OAuthError{QStringLiteral("%1 refused the sign-in (%2)")
                           .arg(url.host(), body.value("error").toString(QString::number(reply->status)))}};
    }
    OAuthTokens tokens{body.value("access_token").toString(), body.value("refresh_token").toString(),
                       emailFromIdToken(body.value("id_token").toString())};
    if (tokens.accessToken.isEmpty())
        return Unexpected{
            OAuthError{QStringLiteral("%1 answered the sign-in without a token").arg(url.host())}};
    return tokens;
}

} // namespace

std::optional<OAuthProvider> knownProvider(const QString& name)
{
    if (name == QLatin1String("gmail"))
        return OAuthProvider{{},
                             {},
                             QStringLiteral("https://accounts.google.com/o/oauth2/v2/auth"),
                             QStringLiteral("https://oauth2.googleapis.com/token"),
                             QStringLiteral("https://mail.google.com/ openid email"),
                             QStringLiteral("imap.gmail.com"),
                             {}};
    if (name == QLatin1String("outlook"))
        return OAuthProvider{
            {},
            {},
            QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/authorize"),
            QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/token"),
            QStringLiteral("https://outlook.office.com/IMAP.AccessAsUser.All offline_access openid email"),
            QStringLiteral("outlook.office365.com"),
            {}};
    return std::nullopt;
}

QByteArray pkceChallenge(const QByteArray& verifier)
{
    return base64Url(sha256(verifier));
}

Pkce makePkce()
{
    const QByteArray verifier = base64Url(randomBytes(48)); // 64 characters of the allowed set
    return {verifier, pkceChallenge(verifier)};
}

QUrl authorizeUrl(const OAuthProvider& provider, const QString& redirectUri, const QString& state,
                  const QByteArray& challenge)
{
    QUrl url(provider.authorizeUrl);
    QUrlQuery query(url);
    query.addQueryItem("response_type", "code");
    query.addQueryItem("client_id", provider.clientId);
    query.addQueryItem("redirect_uri", redirectUri);
    query.addQueryItem("scope", provider.scope);
    query.addQueryItem("state", state);
    query.addQueryItem("code_challenge", QString::fromLatin1(challenge));
    query.addQueryItem("code_challenge_method", "S256");
    // Google hands out a refresh token only when asked for offline access, and again only
    // when the consent page is shown.
    query.addQueryItem("access_type", "offline");
    query.addQueryItem("prompt", "consent");
    url.setQuery(query.query(QUrl::FullyEncoded), QUrl::StrictMode);
    return url;
}

Expected<OAuthTokens, OAuthError> exchangeCode(const OAuthProvider& provider, const QString& code,
                                               const QByteArray& verifier, const QString& redirectUri)
{
    return postToTokenEndpoint(provider, {{"grant_type", "authorization_code"},
                                          {"code", code.toUtf8()},
                                          {"redirect_uri", redirectUri.toUtf8()},
                                          {"code_verifier", verifier}});
}

Expected<OAuthTokens, OAuthError> refreshAccess(const OAuthProvider& provider, const QString& refreshToken,
                                                const WakeFlag* stop)
{
    return postToTokenEndpoint(
        provider, {{"grant_type", "refresh_token"}, {"refresh_token", refreshToken.toUtf8()}}, stop);
}

} // namespace tessary::server
