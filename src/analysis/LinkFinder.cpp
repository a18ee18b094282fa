#include "analysis/LinkFinder.h"

#include "analysis/InternetDateTime.h"
#include "analysis/LinkDetector.h"
#include "analysis/LinkVocabulary.h"
#include "analysis/SiteDomain.h"
#include "analysis/TextLines.h"

#include <QUrlQuery>

#include <algorithm>

namespace tessary {

namespace {

constexpr int minimumLinkScore = 60;
constexpr int ownWordingBonus = 10;
constexpr int pathWordBonus = 10;
constexpr int shapeBonus = 5;
constexpr qsizetype longPath = 20;

bool containsAny(QStringView text, const QStringList& words)
{
    for (const QString& word : words)
        if (text.contains(word))
            return true;
    return false;
}

// Whether lower-case words name a sign-in, in a mail that does or does not speak of signing in.
bool namesSignIn(QStringView words, bool mailSpeaksOfSignIn)
{
    return containsAny(words, signInWords()) || (mailSpeaksOfSignIn && containsAny(words, openWords()));
}

// How far a link's context reaches along its line and the line before it. Wording sits next to
// the link; the bound keeps a hostile one-line body full of links from costing the length of the
// line for every link (and a copy of it), which grows with the square of the body.
constexpr qsizetype contextReach = 400;

// Where the line holding `position` starts, or `position - contextReach` when that is later.
qsizetype nearLineStart(QStringView text, qsizetype position)
{
    const qsizetype floor = std::max<qsizetype>(position - contextReach, 0);
    while (position > floor && !isLineBreak(text[position - 1]))
        --position;
    return position;
}

// The line holding a link and the line before it that holds anything: a body often says "Click
// below to sign in:" on one line and gives the link on the next, or after a blank line. Only the
// part within reach of the link is read.
QString linkContext(QStringView text, qsizetype position)
{
    const qsizetype start = nearLineStart(text, position);
    const qsizetype end = lineEnd(text.first(std::min(text.size(), position + contextReach)), position);
    const QStringView line = text.sliced(start, end - start);
    if (start == 0 || !isLineBreak(text[start - 1]))
        return line.toString();
    const qsizetype floor = std::max<qsizetype>(start - contextReach, 0);
    qsizetype previousEnd = start - 1;
    while (previousEnd > floor && text[previousEnd - 1].isSpace())
        --previousEnd;
    const qsizetype previousStart = nearLineStart(text, previousEnd);
    return text.sliced(previousStart, previousEnd - previousStart).toString() + QLatin1Char(' ') +
           line.toString();
}

// What a link is worth by who owns it: the sender, the link, both or neither on the site, with or
// without wording that names a sign-in or a confirmation.
int ownershipScore(bool senderOnSite, bool linkOnSite, bool worded)
{
    static constexpr int scores[2][2][2] = {
        {{0, 20}, {40, 60}},  // sender elsewhere: link elsewhere, link on the site
        {{50, 70}, {90, 110}} // sender on the site: link elsewhere, link on the site
    };
    return scores[senderOnSite][linkOnSite][worded];
}

bool isWebLink(const QUrl& url)
{
    return !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"));
}

// The addresses a link passes on to: the values of its query that are addresses of their own, as
// a tracker's "?u=https%3A%2F%2F…" or a sign-in's "?next=https://…".
QList<QUrl> passedOn(const QUrl& url)
{
    static const QStringList schemesWithoutHost = {QStringLiteral("javascript"), QStringLiteral("data"),
                                                   QStringLiteral("mailto"), QStringLiteral("tel")};
    QList<QUrl> addresses;
    for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        const QUrl address(value, QUrl::TolerantMode);
        const QString scheme = address.scheme().toLower();
        if (!scheme.isEmpty() && (value.sliced(scheme.size()).startsWith(QLatin1String("://")) ||
                                  schemesWithoutHost.contains(scheme)))
            addresses.append(address);
    }
    return addresses;
}

// Whether a link passes on to an address that is no link to open. A name and password before a
// host are never right. A link that names no sign-in itself and leads to another host is a
// redirect, a tracker's mostly: the address it leads to is held to the rules of a direct link. One
// that leads to its own host names where its sign-in goes on to ("?next=https://shop.com/settings").
bool passesOnBadly(const QUrl& url, bool namesSignIn, const QSet<QString>& sites)
{
    for (const QUrl& address : passedOn(url)) {
        if (!address.userInfo().isEmpty())
            return true;
        const bool redirect = !namesSignIn && address.host().compare(url.host(), Qt::CaseInsensitive) != 0;
        if (redirect && (!isWebLink(address) || isBlockedLink(address.toString(QUrl::FullyEncoded).toLower(),
                                                              sites.contains(siteDomain(address.host())))))
            return true;
    }
    return false;
}

// A link of a mail, as the finder weighs it.
struct ScoredLink {
    QUrl url;
    FoundLink::Kind kind;
    int score;
    bool ownWording; // its own words name the kind awaited
    bool pathWord;
    bool trusted;
};

// The weight of one link of a mail from `sender` with `subject`, or none when it is no link to open.
std::optional<ScoredLink> scoreLink(const CandidateLink& candidate, const QString& subject,
                                    bool mailSpeaksOfSignIn, const QString& sender,
                                    const QSet<QString>& sites, std::optional<FoundLink::Kind> wanted)
{
    const QUrl& url = candidate.url;
    if (!isWebLink(url))
        return std::nullopt;
    // A name and password before the host pass another site off as this one
    // ("https://example-shop.com:x@evil.example/"); no sign-in link carries them.
    if (!url.userInfo().isEmpty())
        return std::nullopt;
    const QString linkDomain = siteDomain(url.host());
    const bool senderOnSite = sites.contains(sender);
    const bool linkOnSite = sites.contains(linkDomain);
    if (isBlockedLink(url.toString(QUrl::FullyEncoded).toLower(), linkOnSite))
        return std::nullopt;
    // Someone else's link in someone else's mail is never ours; without a site to compare
    // with, only a link on the sender's own domain is.
    if (!senderOnSite && !linkOnSite && (!sites.isEmpty() || linkDomain != sender))
        return std::nullopt;

    const QString near = candidate.context.toLower().replace(QChar(0x2019), QLatin1Char('\''));
    if (containsAny(near, linkRefusalWords()))
        return std::nullopt;
    const QString lowerSubject = subject.toLower();
    const QString words =
        near + QLatin1Char(' ') + (containsAny(lowerSubject, signInNoticeWords()) ? QString() : lowerSubject);
    const bool confirmWording = containsAny(words, confirmWords());
    const bool signInWording = namesSignIn(words, mailSpeaksOfSignIn);
    // The subject speaks for every link of a mail, its "View in browser" and logo too; a
    // link's own words speak for that link, when they name the kind the page waits for.
    const bool ownWording = (wanted != FoundLink::Kind::signIn && containsAny(near, confirmWords())) ||
                            (wanted != FoundLink::Kind::confirm && namesSignIn(near, mailSpeaksOfSignIn));
    // A single-page app's route in the fragment is part of the path, its query a query.
    const QString fragment = url.fragment(QUrl::FullyDecoded).toLower();
    const QStringView route = fragmentRoute(fragment);
    const QString path = url.path(QUrl::FullyDecoded).toLower() + route.toString();
    const bool pathWord = containsAny(path, linkPathWords());
    // The site's bare home page, a logo's link mostly, carries nothing that signs anyone in.
    if (path.size() <= 1 && !url.hasQuery() && !url.hasFragment())
        return std::nullopt;
    if (passesOnBadly(url, pathWord, sites))
        return std::nullopt;
    FoundLink::Kind kind;
    if (signInWording)
        kind = FoundLink::Kind::signIn;
    else if (confirmWording)
        kind = FoundLink::Kind::confirm;
    else if (pathWord)
        kind = FoundLink::Kind::signIn;
    else
        return std::nullopt;
    // Only wording that clearly names one kind can rule a link out.
    if (wanted && confirmWording != signInWording && kind != *wanted)
        return std::nullopt;

    int score = ownershipScore(senderOnSite, linkOnSite, confirmWording || signInWording);
    if (ownWording)
        score += ownWordingBonus;
    // A path word names a link that its own words do not; beside such words, the site's sign-in
    // page ("Or log in at …/login") says it no better than the one-time link the mail is about.
    if (pathWord && !ownWording)
        score += pathWordBonus;
    const bool routeQuery = !route.isEmpty() && route.size() < fragment.size();
    if (!url.query().isEmpty() || routeQuery || path.size() > longPath)
        score += shapeBonus;

    return ScoredLink{url, kind, score, ownWording, pathWord, senderOnSite && linkOnSite};
}

} // namespace

QList<CandidateLink> candidateLinks(const Message& message)
{
    QList<CandidateLink> candidates;
    for (const MessageLink& link : message.links) {
        // Read as a browser reads an href: a "|" or a space in the query is the sender's sloppiness,
        // not a reason to lose the link.
        const QUrl url(link.url, QUrl::TolerantMode);
        if (url.isValid() && !url.isRelative())
            candidates.append(CandidateLink{url, link.text});
    }
    for (const DetectedLink& link : detectLinks(message.text))
        candidates.append(CandidateLink{link.url, linkContext(message.text, link.start)});
    return candidates;
}

std::optional<FoundLink> LinkFinder::bestLink(const QList<Message>& messages, const QStringList& domains,
                                              std::optional<FoundLink::Kind> wanted,
                                              const QSet<QString>& usedMessages)
{
    const QSet<QString> sites = expandDomains(domains);
    std::optional<FoundLink> best;
    int bestScore = 0;
    for (const Message& message : messages) {
        if (usedMessages.contains(message.id))
            continue;
        const QString sender = senderSiteDomain(message.sender);
        const TimePoint received = receivedTime(message.receivedAt);
        // "Open Loopnote" signs in where the mail asks to sign in; a newsletter's "Open your
        // dashboard" opens a page.
        const bool speaksOfSignIn = containsAny(message.subject.toLower(), signInWords()) ||
                                    containsAny(message.text.toLower(), signInWords());
        QList<ScoredLink> links;
        for (const CandidateLink& candidate : candidateLinks(message))
            if (const std::optional<ScoredLink> link =
                    scoreLink(candidate, message.subject, speaksOfSignIn, sender, sites, wanted))
                links.append(*link);
        // A mail that words one of its links for the awaited kind has said which link it means; a
        // link that only its subject speaks for (its blog, its download page) is not that one.
        const bool wordsItsLink =
            std::any_of(links.cbegin(), links.cend(), [](const ScoredLink& link) { return link.ownWording; });
        for (const ScoredLink& link : links) {
            if (wordsItsLink && !link.ownWording && !link.pathWord)
                continue;
            if (!best || link.score > bestScore || (link.score == bestScore && received > best->received)) {
                best = FoundLink{link.url, link.kind, sender, received, link.trusted, message.id};
                bestScore = link.score;
            }
        }
    }
    if (best && bestScore >= minimumLinkScore)
        return best;
    return std::nullopt;
}

} // namespace tessary
