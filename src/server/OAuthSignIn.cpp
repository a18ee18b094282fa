#include "server/OAuthSignIn.h"

namespace tessary::server {

namespace {
// Long enough to find a password and a second factor, short enough that a forgotten tab's
// pending entry does not linger.
constexpr auto signInWindow = std::chrono::minutes(15);
} // namespace

OAuthSignIn::OAuthSignIn(Storage& storage, const CredentialCipher& cipher, InboxAssignment& inboxes,
                         const ServerConfig& config)
    : m_storage(storage)
    , m_cipher(cipher)
    , m_inboxes(inboxes)
    , m_config(config)
{
    expire();
}

void OAuthSignIn::expire()
{
    m_storage.removeStalePendingAccounts();
}

QString OAuthSignIn::redirectUri() const
{
    return m_config.publicUrl + callbackPath;
}

Expected<OAuthSignIn::Started, QString> OAuthSignIn::begin(const QString& installId, const QString& provider)
{
    const auto setup = m_config.imap.oauth.constFind(provider);
    if (setup == m_config.imap.oauth.constEnd())
        return Unexpected{QStringLiteral("Signing in with %1 is not set up on this backend. Add the inbox "
                                         "through Other… with an app password instead.")
                              .arg(provider == QLatin1String("gmail") ? "Google" : "Microsoft")};
    // What finishing needs is kept before the pending inbox exists: an instance that drops the
    // pending inboxes nothing can finish must never see this one without it.
    const StoredAccount account{newStorageId(), installId, provider, {}, setup->imapHost, "pending"};
    const Pkce pkce = makePkce();
    const QString state = QString::fromLatin1(
        randomBytes(24).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
    if (!m_storage.keepSignIn({state, installId, account.id, provider, pkce.verifier}, signInWindow) ||
        !m_storage.addAccount(account, {}))
        return Unexpected{QStringLiteral("The backend could not save this inbox")};
    expire();
    return Started{authorizeUrl(*setup, redirectUri(), state, pkce.challenge).toString(QUrl::FullyEncoded),
                   account.id};
}

void OAuthSignIn::dropEarlierEntries(const PendingSignIn& signedIn, const QString& email)
{
    for (const StoredAccount& account : m_storage.accounts(signedIn.installId)) {
        if (account.id == signedIn.accountId || account.provider != signedIn.provider ||
            account.email.compare(email, Qt::CaseInsensitive) != 0)
            continue;
        if (m_storage.removeAccount(signedIn.installId, account.id))
            m_inboxes.unwatch(account.id);
    }
}

OAuthSignIn::Page OAuthSignIn::finish(const QString& code, const QString& state, const QString& error)
{
    expire();
    const std::optional<PendingSignIn> pending = m_storage.takeSignIn(state);
    if (!pending)
        return {400, QStringLiteral("This sign-in link has expired. Start again from Tessary.")};
    if (!error.isEmpty() || code.isEmpty())
        return {400, QStringLiteral("The sign-in was cancelled. Start again from Tessary.")};
    const OAuthProvider& setup = m_config.imap.oauth[pending->provider];
    const auto tokens = exchangeCode(setup, code, pending->verifier, redirectUri());
    if (!tokens)
        return {502, tokens.error().message};
    if (tokens->refreshToken.isEmpty() || tokens->email.isEmpty())
        return {502, QStringLiteral("The sign-in did not grant access to the mailbox. Start again from "
                                    "Tessary and allow access to mail.")};
    if (!m_storage.activateAccount(pending->accountId, tokens->email,
                                   m_cipher.seal(tokens->refreshToken.toUtf8(), pending->accountId.toUtf8())))
        return {404, QStringLiteral("This inbox was removed before the sign-in finished.")};
    m_inboxes.watchNow(
        StoredAccount{pending->accountId, {}, pending->provider, tokens->email, setup.imapHost, "active"},
        tokens->refreshToken);
    dropEarlierEntries(*pending, tokens->email);
    return {
        200,
        QStringLiteral("Signed in as %1. You can close this tab and go back to Tessary.").arg(tokens->email)};
}

} // namespace tessary::server
