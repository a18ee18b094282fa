#include "server/OAuthSignIn.h"

namespace tessary::server {

namespace {
// Long enough to find a password and a second factor, short enough that a forgotten tab's
// pending entry does not linger.
constexpr auto signInWindow = std::chrono::minutes(15);
} // namespace

OAuthSignIn::OAuthSignIn(Storage& storage, const CredentialCipher& cipher, MailService& mail,
                         const ServerConfig& config)
    : m_storage(storage)
    , m_cipher(cipher)
    , m_mail(mail)
    , m_config(config)
{
    m_storage.removePendingAccounts();
}

void OAuthSignIn::expire()
{
    QList<Pending> expired;
    {
        std::lock_guard lock(m_mutex);
        const auto now = std::chrono::steady_clock::now();
        for (auto it = m_pending.begin(); it != m_pending.end();) {
            if (it->expires < now) {
                expired.append(*it);
                it = m_pending.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const Pending& pending : expired)
        m_storage.removeAccount(pending.installId, pending.accountId);
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
    const StoredAccount account{newStorageId(), installId, provider, {}, setup->imapHost, "pending"};
    if (!m_storage.addAccount(account, {}))
        return Unexpected{QStringLiteral("The backend could not save this inbox")};
    expire();
    const Pkce pkce = makePkce();
    const QString state = QString::fromLatin1(
        randomBytes(24).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
    {
        std::lock_guard lock(m_mutex);
        const auto now = std::chrono::steady_clock::now();
        m_pending.insert(state, Pending{installId, account.id, provider, pkce.verifier, now + signInWindow});
    }
    return Started{authorizeUrl(*setup, redirectUri(), state, pkce.challenge).toString(QUrl::FullyEncoded),
                   account.id};
}

void OAuthSignIn::dropEarlierEntries(const Pending& signedIn, const QString& email)
{
    for (const StoredAccount& account : m_storage.accounts(signedIn.installId)) {
        if (account.id == signedIn.accountId || account.provider != signedIn.provider ||
            account.email.compare(email, Qt::CaseInsensitive) != 0)
            continue;
        if (m_storage.removeAccount(signedIn.installId, account.id))
            m_mail.unwatch(account.id);
    }
}

OAuthSignIn::Page OAuthSignIn::finish(const QString& code, const QString& state, const QString& error)
{
    expire();
    std::optional<Pending> pending;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_pending.constFind(state);
        if (found != m_pending.constEnd() && found->expires > std::chrono::steady_clock::now())
            pending = *found;
        m_pending.remove(state); // a state is good for one answer only
    }
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
    m_mail.watch(
        StoredAccount{pending->accountId, {}, pending->provider, tokens->email, setup.imapHost, "active"},
        tokens->refreshToken);
    dropEarlierEntries(*pending, tokens->email);
    return {
        200,
        QStringLiteral("Signed in as %1. You can close this tab and go back to Tessary.").arg(tokens->email)};
}

} // namespace tessary::server
