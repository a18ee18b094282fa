#include "analysis/LinkVocabulary.h"

#include "analysis/SiteDomain.h"

#include <algorithm>

namespace tessary {

const QStringList& linkBlockWords()
{
    static const QStringList words = {
        QStringLiteral("mailto:"),       QStringLiteral("tel:"),        QStringLiteral("/pixel"),
        QStringLiteral("/open.gif"),     QStringLiteral(".png"),        QStringLiteral(".jpg"),
        QStringLiteral(".gif"),          QStringLiteral("reset"),       QStringLiteral("forgot"),
        QStringLiteral("zuruecksetzen"), QStringLiteral("reinitialis"), QStringLiteral("restablecer"),
    };
    return words;
}

const QStringList& linkSectionWords()
{
    static const QStringList words = {
        QStringLiteral("privacy"), QStringLiteral("terms"),       QStringLiteral("help"),
        QStringLiteral("support"), QStringLiteral("preferences"), QStringLiteral("settings"),
    };
    return words;
}

const QStringList& linkOptOutWords()
{
    static const QStringList words = {QStringLiteral("unsubscribe")};
    return words;
}

const QStringList& linkBlockSites()
{
    static const QStringList sites = {
        QStringLiteral("twitter.com"),    QStringLiteral("x.com/"),          QStringLiteral("linkedin.com"),
        QStringLiteral("facebook.com"),   QStringLiteral("instagram.com"),   QStringLiteral("youtube.com"),
        QStringLiteral("apps.apple.com"), QStringLiteral("play.google.com"),
    };
    return sites;
}

const QStringList& linkRefusalWords()
{
    static const QStringList words = {
        QStringLiteral("unsubscribe"),
        QStringLiteral("not you?"),
        QStringLiteral("wasn't you"),
        QStringLiteral("wasn't me"),
        QStringLiteral("was not you"),
        QStringLiteral("was not me"),
        QStringLiteral("report it"),
        QStringLiteral("report this"),
        QStringLiteral("secure your account"),
        QStringLiteral("secure my account"),
        QStringLiteral("lock your account"),
        // German, French, Spanish. A log-out ("abmelden", "déconnexion") is a way out too.
        QStringLiteral("warst du das nicht"),
        QStringLiteral("waren sie das nicht"),
        QStringLiteral("konto sichern"),
        QStringLiteral("abmelden"),
        QStringLiteral("était pas vous"),
        QStringLiteral("sécurisez votre compte"),
        QStringLiteral("désinscri"),
        QStringLiteral("désabonn"),
        QStringLiteral("déconnex"),
        QStringLiteral("no has sido tú"),
        QStringLiteral("no fuiste tú"),
        QStringLiteral("protege tu cuenta"),
        QStringLiteral("de baja"),
        QStringLiteral("cancelar suscripción"),
        // Turning something off holds a confirmation's word ("deactivate", "desactivar") but is a
        // way out as well.
        QStringLiteral("deactivat"),
        QStringLiteral("deaktivier"),
        QStringLiteral("désactiv"),
        QStringLiteral("desactiv"),
    };
    return words;
}

const QStringList& confirmWords()
{
    static const QStringList words = {
        QStringLiteral("confirm"),
        QStringLiteral("verify"),
        QStringLiteral("verification"),
        QStringLiteral("activate"),
        QStringLiteral("validate"),
        QStringLiteral("complete sign up"),
        QStringLiteral("complete your registration"),
        QStringLiteral("complete registration"),
        // German, French, Spanish ("confirm" holds "confirmer" and "confirmar").
        QStringLiteral("bestätig"),
        QStringLiteral("verifizier"),
        QStringLiteral("aktivier"),
        QStringLiteral("vérifi"),
        QStringLiteral("activer"),
        QStringLiteral("verific"),
        QStringLiteral("activar"),
    };
    return words;
}

const QStringList& signInWords()
{
    static const QStringList words = {
        QStringLiteral("sign in"),
        QStringLiteral("sign-in"),
        QStringLiteral("signin"),
        QStringLiteral("log in"),
        QStringLiteral("log-in"),
        QStringLiteral("login"),
        QStringLiteral("magic link"),
        QStringLiteral("continue to"),
        QStringLiteral("access your account"),
        QStringLiteral("one-click"),
        // German, French, Spanish.
        QStringLiteral("anmeld"),
        QStringLiteral("einlogg"),
        QStringLiteral("se connecter"),
        QStringLiteral("vous connecter"),
        QStringLiteral("connexion"),
        QStringLiteral("iniciar sesión"),
        QStringLiteral("inicia sesión"),
        QStringLiteral("acceder"),
    };
    return words;
}

const QStringList& openWords()
{
    static const QStringList words = {QStringLiteral("open ")};
    return words;
}

const QStringList& signInNoticeWords()
{
    static const QStringList words = {
        QStringLiteral("new sign-in to"),
        QStringLiteral("new sign-in from"),
        QStringLiteral("new sign-in on"),
        QStringLiteral("new login to"),
        QStringLiteral("new login from"),
        QStringLiteral("new login on"),
        QStringLiteral("signed in"),
        QStringLiteral("logged in"),
        QStringLiteral("neue anmeldung"),
        QStringLiteral("nouvelle connexion"),
        QStringLiteral("nuevo inicio de sesión"),
    };
    return words;
}

const QStringList& linkPathWords()
{
    static const QStringList words = {
        QStringLiteral("auth"),    QStringLiteral("login"),        QStringLiteral("signin"),
        QStringLiteral("sign-in"), QStringLiteral("sign_in"),      QStringLiteral("magic"),
        QStringLiteral("verify"),  QStringLiteral("confirm"),      QStringLiteral("activate"),
        QStringLiteral("token"),   QStringLiteral("callback"),     QStringLiteral("session"),
        QStringLiteral("otp"),     QStringLiteral("passwordless"),
    };
    return words;
}

namespace {

bool isHostCharacter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') || c.unicode() >= 0x80;
}

bool isHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}

bool startsDomain(QStringView text, qsizetype at)
{
    if (at == 0 || !isHostCharacter(text[at - 1]))
        return true;
    return at >= 3 && text[at - 3] == QLatin1Char('%') && isHexDigit(text[at - 2]) &&
           isHexDigit(text[at - 1]);
}

// Where the host (and port) of an absolute URL ends.
qsizetype hostEnd(QStringView url)
{
    const qsizetype schemeEnd = url.indexOf(QLatin1String("://"));
    qsizetype at = schemeEnd < 0 ? 0 : schemeEnd + 3;
    while (at < url.size() && !QStringView(u"/?#").contains(url[at]))
        ++at;
    return at;
}

// Whether a section word names the page (the address before its query, its registered name left
// out: "https://help./login"). It does unless the part between slashes that holds it comes right
// before a part that is a path word, a sign-in of the section's own ("/help/login",
// help.shop.com/signin); under "/help/articles/login" it names a help page about signing in.
bool namesASection(const QString& page)
{
    const QStringList parts = page.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype at = 0; at < parts.size(); ++at) {
        const bool section = std::any_of(linkSectionWords().cbegin(), linkSectionWords().cend(),
                                         [&](const QString& word) { return parts[at].contains(word); });
        if (section && (at + 1 == parts.size() || !linkPathWords().contains(parts[at + 1])))
            return true;
    }
    return false;
}

QStringView beforeQuery(QStringView text)
{
    const qsizetype query = text.indexOf(QLatin1Char('?'));
    return query < 0 ? text : text.first(query);
}

} // namespace

QStringView fragmentRoute(QStringView fragment)
{
    if (fragment.startsWith(QLatin1Char('/')) || fragment.startsWith(QLatin1String("!/")))
        return beforeQuery(fragment);
    return {};
}

bool isBlockedLink(QStringView lowerUrl, bool siteHost)
{
    for (const QString& word : linkOptOutWords())
        if (lowerUrl.contains(word))
            return true;
    const qsizetype hash = lowerUrl.indexOf(QLatin1Char('#'));
    const QStringView page = beforeQuery(hash < 0 ? lowerUrl : lowerUrl.first(hash));
    // The name its owner registered says nothing of the page: privacy.com's sign-in is a sign-in,
    // while help.shop.com is the shop's help.
    QString wordsOf = page.toString();
    const QString host = wordsOf.first(hostEnd(page));
    const QString ownSite = siteDomain(host);
    if (page.contains(QLatin1String("://")) && !ownSite.isEmpty() && host.endsWith(ownSite))
        wordsOf.remove(host.size() - ownSite.size(), ownSite.size());
    if (hash >= 0)
        wordsOf += fragmentRoute(lowerUrl.sliced(hash + 1));
    for (const QString& word : linkBlockWords())
        if (wordsOf.contains(word))
            return true;
    if (namesASection(wordsOf))
        return true;
    for (const QString& site : linkBlockSites()) {
        if (siteHost && siteDomain(QString(site).remove(QLatin1Char('/'))) == ownSite)
            continue;
        for (qsizetype at = lowerUrl.indexOf(site); at >= 0; at = lowerUrl.indexOf(site, at + 1))
            if (startsDomain(lowerUrl, at))
                return true;
    }
    return false;
}

} // namespace tessary
