#include "analysis/LinkFinder.h"
#include "analysis/DomainDisplay.h"
#include "analysis/InternetDateTime.h"
#include "analysis/LinkDetector.h"
#include "analysis/SiteDomain.h"

#include <gtest/gtest.h>

using namespace tessary;

namespace {

const QString at10 = QStringLiteral("2026-12-06T10:00:00Z");
const QString at11 = QStringLiteral("2026-12-06T11:00:00Z");

Message mail(const char* sender, const char* subject, const char* text, QList<MessageLink> links = {},
             std::optional<QString> receivedAt = std::nullopt, const char* id = "m1")
{
    return Message{id, subject, sender, text, receivedAt, links};
}

// The url of the best link, or "none".
QString best(const QList<Message>& messages, const QStringList& domains,
             std::optional<FoundLink::Kind> wanted = std::nullopt)
{
    const std::optional<FoundLink> link = LinkFinder::bestLink(messages, domains, wanted);
    return link ? link->url.toString() : QStringLiteral("none");
}

// The detected links as "url@start+length", easy to compare and to read in a failure.
QStringList detected(const QString& text)
{
    QStringList links;
    for (const DetectedLink& link : detectLinks(text))
        links.append(QStringLiteral("%1@%2+%3")
                         .arg(link.url.toString(QUrl::FullyEncoded))
                         .arg(link.start)
                         .arg(link.length));
    return links;
}

const QStringList site = {QStringLiteral("app.example-shop.com")};
using Kind = FoundLink::Kind;

} // namespace

// The backend's links that are links, then those written in the body, each with its line and, on a
// line of its own, the line before it.
TEST(CandidateLinks, BackendLinksFirstThenBodyLinksWithTheirLines)
{
    const QUrl url("https://b.example/x");
    const std::tuple<const char*, QList<MessageLink>, QList<CandidateLink>> rows[] = {
        {"Hello\nTo sign in, use\nhttps://b.example/x today.",
         {{"https://b.example/x", "Sign in"}, {"not a url", "x"}, {"", "empty"}},
         {{url, "Sign in"}, {url, "To sign in, use https://b.example/x today."}}},
        {"https://b.example/x\r\nmore", {}, {{url, "https://b.example/x"}}},
        {"one\r\ntwo:\r\nhttps://b.example/x", {}, {{url, "two: https://b.example/x"}}},
    };
    for (const auto& [text, links, expected] : rows)
        EXPECT_EQ(candidateLinks(mail("a@b.example", "s", text, links)), expected) << text;
}

// A body of one long line full of links: each link's context is the wording near it, not the
// whole line (a copy of it per link grows with the square of the body).
TEST(CandidateLinks, AContextIsTheTextNearItsLinkNotAWholeLongLine)
{
    QString text = QStringLiteral("Sign in:");
    for (int i = 0; i < 1000; ++i)
        text += QStringLiteral(" https://b.example/x");
    const QList<CandidateLink> found = candidateLinks(Message{"m1", "s", "a@b.example", text, {}, {}});
    ASSERT_EQ(found.size(), 1000);
    EXPECT_TRUE(found.front().context.startsWith(QStringLiteral("Sign in: https://b.example/x")));
    for (const CandidateLink& candidate : found)
        ASSERT_LT(candidate.context.size(), 2000);
}

TEST(LinkFilters, LinksThatAreNeverOpened)
{
    const QList<std::pair<const char*, const char*>> rows = {
        {"unsubscribe", "https://app.example-shop.com/unsubscribe"},
        {"unsubscribe in the query", "https://app.example-shop.com/login?next=UNSUBSCRIBE"},
        {"privacy", "https://app.example-shop.com/privacy"},
        {"help", "https://app.example-shop.com/login/help"},
        {"the site's help centre", "https://help.example-shop.com/articles/login"},
        {"image", "https://app.example-shop.com/logo.png"},
        {"tracking pixel", "https://app.example-shop.com/pixel?login=1"},
        {"mail", "mailto:login@example-shop.com"},
        {"phone", "tel:+15550100"},
        {"no host", "/login/token"},
        {"not the web", "ftp://example-shop.com/login"},
        {"social network", "https://x.com/exampleshop"},
        {"app store", "https://apps.apple.com/app/id1"},
        {"behind a tracker", "https://click.example-shop.com/t?u=https%3A%2F%2Ffacebook.com%2Fshop&login=1"},
        {"help behind a tracker",
         "https://click.example-shop.com/t?u=https%3A%2F%2Fexample-shop.com%2Flogin%2Fhelp"},
        {"not the web behind a tracker",
         "https://click.example-shop.com/t?u=ftp%3A%2F%2Fexample-shop.com%2Flogin"},
        {"the site's name as a user of another host", "https://example-shop.com:x@evil.example/login"},
        {"the same behind a sign-in",
         "https://example-shop.com/login?next=https%3A%2F%2Fexample-shop.com:x%40evil.example"},
        {"help in a single-page app's route", "https://app.example-shop.com/?ref=mail#/login/help"},
        {"a password reset", "https://example-shop.com/auth/reset?token=1"},
    };
    for (const auto& [rule, url] : rows) {
        SCOPED_TRACE(rule);
        EXPECT_EQ(best({mail("no-reply@example-shop.com", "Sign in", "", {{url, "Sign in"}})},
                       {"example-shop.com"}),
                  "none");
    }
    // A site whose name merely ends like a blocked one (x.com) or holds a blocked word is not
    // blocked, nor is a blocked site's own link for a page on that site.
    EXPECT_EQ(best({mail("no-reply@dropbox.com", "Sign in to Dropbox", "",
                         {{"https://www.dropbox.com/login?t=1", ""}})},
                   {"dropbox.com"}),
              "https://www.dropbox.com/login?t=1");
    EXPECT_EQ(best({mail("no-reply@privacy.com", "Sign in", "", {{"https://app.privacy.com/login?t=1", ""}})},
                   {"privacy.com"}),
              "https://app.privacy.com/login?t=1");
    // A section of the site holds a sign-in of its own right under it: its help centre's.
    for (const char* url :
         {"https://example-shop.com/help/login?t=1", "https://help.example-shop.com/signin"})
        EXPECT_EQ(best({mail("no-reply@example-shop.com", "Sign in", "", {{url, ""}})}, {"example-shop.com"}),
                  url);
    for (const char* url :
         {"https://www.facebook.com/confirmemail.php?c=1",
          "https://l.facebook.com/l.php?u=https%3A%2F%2Fwww.facebook.com%2Fconfirmemail.php"})
        EXPECT_EQ(best({mail("security@facebookmail.com", "Confirm your email", "", {{url, ""}})},
                       {"www.facebook.com"}),
                  url);
}

// A site link in a stranger's mail needs wording, the site's sender may link elsewhere when the
// path says sign-in, and only a link both sent by and pointing at the site is trusted.
TEST(LinkOwnership, OnlyTheSitesOwnLinkFromTheSiteIsTrusted)
{
    const struct {
        const char* name;
        Message message;
        Kind kind;
        bool trusted;
        const char* senderDomain;
        TimePoint received = distantPast;
    } rows[] = {
        {"a stranger's worded site link",
         mail("relay@mailer.example", "Hello", "",
              {{"https://app.example-shop.com/go?t=1", "Sign in to your account"}}, at10),
         Kind::signIn, false, "mailer.example", *parseInternetDateTime(at10)},
        {"the site's sender, elsewhere, a sign-in path",
         mail("no-reply@example-shop.com", "Hello", "", {{"https://sso.idp.example/magic", "Click here"}}),
         Kind::signIn, false, "example-shop.com"},
        {"both on the site",
         mail("Shop <no-reply@mail.example-shop.com>", "Confirm your e-mail", "",
              {{"https://example-shop.com/c?t=9", ""}}),
         Kind::confirm, true, "example-shop.com"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<FoundLink> link = LinkFinder::bestLink({row.message}, site);
        ASSERT_TRUE(link);
        EXPECT_EQ(link->kind, row.kind);
        EXPECT_EQ(link->trusted, row.trusted);
        EXPECT_EQ(link->senderDomain, row.senderDomain);
        EXPECT_EQ(link->received, row.received);
        EXPECT_EQ(link->messageId, "m1");
    }
}

TEST(LinkKind, WordingDecidesAndSignInWinsOverConfirm)
{
    const auto kindOf = [](const char* subject, const char* text, const char* url) {
        const std::optional<FoundLink> link =
            LinkFinder::bestLink({mail("no-reply@example-shop.com", subject, "", {{url, text}})}, site);
        return link ? kindName(link->kind) : QStringLiteral("none");
    };
    EXPECT_EQ(kindOf("Welcome", "Verify your address", "https://example-shop.com/a"), "confirm");
    EXPECT_EQ(kindOf("Welcome", "Log in", "https://example-shop.com/a"), "signIn");
    EXPECT_EQ(kindOf("Willkommen", "E-Mail-Adresse bestätigen", "https://example-shop.com/a"), "confirm");
    EXPECT_EQ(kindOf("Confirm and sign in", "", "https://example-shop.com/a"), "signIn");
    EXPECT_EQ(kindOf("Welcome", "Click", "https://example-shop.com/callback"), "signIn");
    EXPECT_EQ(kindOf("Welcome", "Click", "https://example-shop.com/home"), "none");
}

// Which link wins, by its score (ownership 20 to 90, wording 20 and 10 more beside the link, a
// sign-in path word 10 where those words are not, shape 5; 60 to qualify), the kind asked for, and
// then by arrival and order.
TEST(LinkChoice, TheHighestScoreOfTheWantedKindThenTheLaterMessageThenTheFirstLink)
{
    const auto shop = [](const char* subject, QList<MessageLink> links, std::optional<QString> at = {},
                         const char* id = "m1") {
        return mail("no-reply@example-shop.com", subject, "", links, at, id);
    };
    const auto relay = [](const char* subject, const char* text, QList<MessageLink> links = {},
                          std::optional<QString> at = {}) {
        return mail("relay@mailer.example", subject, text, links, at);
    };
    const Message confirmOnly = shop("Verify your e-mail", {{"https://example-shop.com/a", ""}});
    const Message early = shop("Sign in", {{"https://example-shop.com/early", ""}}, at10, "m1");
    const Message late = shop("Sign in", {{"https://example-shop.com/late", ""}}, at11, "m2");
    const Message undated = shop("Sign in", {{"https://example-shop.com/undated", ""}});
    const Message stranger =
        mail("a@other.example", "Sign in", "", {{"https://other.example/login?t=1", "Sign in"}});
    const char* newsBody = "Sign in to your account\n\nOr read our news\nhttps://example-shop.com/news";
    const struct {
        const char* rule;
        QList<Message> messages;
        const char* expected;
        std::optional<Kind> wanted = std::nullopt;
        QStringList domains = site;
    } rows[] = {
        // Ownership and wording.
        {"a stranger's unworded site link: 40 + 10 + 5",
         {relay("Hello", "", {{"https://app.example-shop.com/auth?t=1", "Click"}})},
         "none"},
        {"the site's sender, elsewhere, no sign-in path",
         {shop("Hello", {{"https://sso.idp.example/home", "Click here"}})},
         "none"},
        {"a stranger's link elsewhere", {stranger}, "none"},
        {"without sites, the sender's own link: 20 + 10 + 5", {stranger}, "none", std::nullopt, {}},
        // The kind asked for rules out only clearly worded other kinds.
        {"confirm wording, sign-in wanted", {confirmOnly}, "none", Kind::signIn},
        {"confirm wording, confirm wanted", {confirmOnly}, "https://example-shop.com/a", Kind::confirm},
        {"both worded, confirm wanted",
         {shop("Confirm to sign in", {{"https://example-shop.com/b", ""}})},
         "https://example-shop.com/b",
         Kind::confirm},
        {"neither worded, confirm wanted",
         {shop("Hello", {{"https://example-shop.com/token/c", ""}})},
         "https://example-shop.com/token/c",
         Kind::confirm},
        // The subject speaks for every link; only nearby lines do.
        {"wording lines away", {relay("Hello", newsBody)}, "none"},
        {"wording in the subject", {relay("Your sign-in link", newsBody)}, "https://example-shop.com/news"},
        {"wording on the line before",
         {relay("Hello", "Sign in to your account:\nhttps://example-shop.com/news")},
         "https://example-shop.com/news"},
        {"wording a blank line before, over a worded sign-in page's path word",
         {relay("Hello", "Sign in below.\r\n \r\n\r\nhttps://example-shop.com/m/a1\n\nOr log in: "
                         "https://example-shop.com/login")},
         "https://example-shop.com/m/a1"},
        // Scores.
        {"110 (on the site, worded) over 90 + 10 + 5",
         {shop("Hello",
               {{"https://example-shop.com/login?t=1", "Click"}, {"https://example-shop.com/a", "Sign in"}})},
         "https://example-shop.com/a"},
        {"90 + 10 (on the site, path word) over 70 + 10 + 5",
         {shop("Hello",
               {{"https://idp.example/login?t=1", "Sign in"}, {"https://example-shop.com/login", "Click"}})},
         "https://example-shop.com/login"},
        {"70 (the site's sender, worded, elsewhere) over 60 (a stranger's, worded, on the site)",
         {relay("Hello", "", {{"https://example-shop.com/a", "Sign in"}}, at11),
          shop("Hello", {{"https://idp.example/a", "Sign in"}}, at10, "m2")},
         "https://idp.example/a"},
        {"a path of 20 is long",
         {relay("Hello", "",
                {{"https://example-shop.com/a", "Sign in"},
                 {"https://example-shop.com/abcdefghijklmnopqrst", "Sign in"}})},
         "https://example-shop.com/abcdefghijklmnopqrst"},
        {"a path of 19 is not",
         {relay("Hello", "",
                {{"https://example-shop.com/a", "Sign in"},
                 {"https://example-shop.com/abcdefghijklmnopqrs", "Sign in"}})},
         "https://example-shop.com/a"},
        {"a query",
         {relay("Hello", "",
                {{"https://example-shop.com/a", "Sign in"}, {"https://example-shop.com/b?t=1", "Sign in"}})},
         "https://example-shop.com/b?t=1"},
        {"a link named as the way out, however its address scores",
         {shop("Your sign-in link",
               {{"https://example-shop.com/m/a1", "Sign in"},
                {"https://example-shop.com/u/a1?e=1", "Unsubscribe"},
                {"https://example-shop.com/r/a1?e=1", "Not you? Tell us"},
                {"https://example-shop.com/s/a1?e=1", "If this wasn’t you, secure your account"},
                {"https://example-shop.com/p/a1?e=1", "Report it"},
                {"https://example-shop.com/session/end?e=1", "Ce n’était pas vous ? Sécurisez votre compte"},
                {"https://example-shop.com/session/off?e=1", "Deactivate these e-mails"}})},
         "https://example-shop.com/m/a1"},
        {"a page named in the query is where the sign-in goes on to",
         {shop("Sign in", {{"https://example-shop.com/m/a1?next=/settings&redirect=%2Fhelp", ""}})},
         "https://example-shop.com/m/a1?next=/settings&redirect=%2Fhelp"},
        {"a single-page app's route is a path, its query a query",
         {shop("Hello", {{"https://example-shop.com/#/verify-email?token=1&next=/settings", "Click"}})},
         "https://example-shop.com/#/verify-email?token=1&next=/settings"},
        {"a page a sign-in goes on to, given whole",
         {shop("Sign in", {{"https://example-shop.com/login?next=https://example-shop.com/settings", ""}})},
         "https://example-shop.com/login?next=https://example-shop.com/settings"},
        {"the same from a link that names no sign-in",
         {shop("Sign in", {{"https://example-shop.com/m/a1?next=https://example-shop.com/settings", ""}})},
         "https://example-shop.com/m/a1?next=https://example-shop.com/settings"},
        {"a link's own wording over the subject's",
         {shop("Your sign-in link", {{"https://example-shop.com/v/a1?e=1", "View in browser"},
                                     {"https://example-shop.com/m/a1?e=1", "Sign in"}})},
         "https://example-shop.com/m/a1?e=1"},
        {"a link's own words for the other kind",
         {shop("Confirm your e-mail", {{"https://example-shop.com/c/a1?e=1", "Get started"},
                                       {"https://example-shop.com/o/a1?e=1", "Log in to the app"}})},
         "https://example-shop.com/c/a1?e=1",
         Kind::confirm},
        {"a mail that words its link speaks through it, not through its subject",
         {shop("Sign in", {{"https://example-shop.com/news/2026-12?src=mail", "What's new"},
                           {"https://idp.example/l/a1", "Sign in"}})},
         "https://idp.example/l/a1"},
        {"a newsletter's Open names no sign-in",
         {shop("Our December news", {{"https://example-shop.com/dashboard?e=1", "Open your dashboard"}})},
         "none"},
        {"an Open in a mail that asks to sign in does",
         {relay("Hello",
                "You asked to sign in.\nWelcome back!\nOpen Example Shop: https://example-shop.com/m/a1")},
         "https://example-shop.com/m/a1"},
        {"a notice of a sign-in made names no link",
         {shop("New sign-in to your account",
               {{"https://example-shop.com/account/activity?e=1", "Review activity"}})},
         "none"},
        {"the site's home page, a logo's link, signs no one in",
         {shop("Sign in", {{"https://example-shop.com/", ""}, {"https://idp.example/a", "Sign in"}})},
         "https://idp.example/a"},
        {"an address as a browser takes it",
         {shop("Sign in", {{"https://example-shop.com/m?t=a|b c", ""}})},
         "https://example-shop.com/m?t=a%7Cb c"},
        // Ties.
        {"the later message", {early, late}, "https://example-shop.com/late"},
        {"the later message, listed first", {late, early}, "https://example-shop.com/late"},
        {"a dated message over an undated one", {undated, early}, "https://example-shop.com/early"},
        {"the first link of a message",
         {shop("Sign in", {{"https://example-shop.com/first", ""}, {"https://example-shop.com/second", ""}})},
         "https://example-shop.com/first"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.rule);
        EXPECT_EQ(best(row.messages, row.domains, row.wanted), row.expected);
    }
}

// http, https and www links in order, without the punctuation around them but with a bracket the
// link opened, at UTF-16 positions; nothing that is not a web link.
TEST(LinkDetector, EachText)
{
    const QString key = QString::fromUtf8("\xF0\x9F\x94\x91");
    const std::pair<QString, QStringList> rows[] = {
        {"Go to https://a.example/x?y=1 or http://b.example/ now",
         {"https://a.example/x?y=1@6+23", "http://b.example/@33+17"}},
        {"Visit www.example.com/login today", {"http://www.example.com/login@6+21"}},
        {"HTTPS://Example.COM/Path", {"https://example.com/Path@0+24"}},
        {"https://a.example/x?a=1&amp;t=2", {"https://a.example/x?a=1&t=2@0+31"}},
        {"Open https://a.example/x.", {"https://a.example/x@5+19"}},
        {"(see https://a.example/x), then", {"https://a.example/x@5+19"}},
        {"<https://a.example/x>", {"https://a.example/x@1+19"}},
        {"<https://a.example/x?t=ab\n  cd>\n<https://a.example/y and> z",
         {"https://a.example/x?t=abcd@1+29", "https://a.example/y@33+19"}},
        {"\"https://a.example/x\"!", {"https://a.example/x@1+19"}},
        {QString::fromUtf8("Open “https://a.example/x” or „https://a.example/y“ or «https://a.example/z…»"),
         {"https://a.example/x@6+19", "https://a.example/y@31+19", "https://a.example/z@56+19"}},
        {"link: https://a.example/x?!;:", {"https://a.example/x@6+19"}},
        {"https://en.example.org/wiki/Tea_(drink).", {"https://en.example.org/wiki/Tea_(drink)@0+39"}},
        {"(https://en.example.org/wiki/Tea_(drink))", {"https://en.example.org/wiki/Tea_(drink)@1+39"}},
        {key + " https://a.example/" + key, {"https://a.example/%F0%9F%94%91@3+20"}},
        {QString::fromUtf8("链接：https://a.example/x?t=1，或 https://a.example/y登录"),
         {"https://a.example/x?t=1@3+23", "https://a.example/y@29+19"}},
        {"mail me at me@example.com or ftp://files.example/x", {}},
        {"https:// and www. alone", {}},
        {"xhttps://a.example/ and awww.example.com", {}},
    };
    for (const auto& [text, links] : rows)
        EXPECT_EQ(detected(text), links) << text;
}

TEST(DomainReduction, TheRegistrableLowerCaseDomainOfTheHost)
{
    const QList<std::pair<const char*, const char*>> rows = {
        {"accounts.Example-Shop.COM", "example-shop.com"},
        {"localhost", "localhost"},
        {"a..b...example.com.", "example.com"},
        {"", ""},
        {"https://accounts.google.com/signin/v2?x=1", "google.com"},
        {"HTTP://www.example.org/", "example.org"},
        {"//cdn.example.net/a/b", "example.net"},
        {"https://login.example.com:8443/x", "example.com:8443"}, // ports are not special
        {"shop.example.co.uk", "example.co.uk"},                  // a country's second level is no site
        {"team.atlassian.net", "atlassian.net"},                  // a service's customers are the service
        {"https://", "https://"},                                 // only slashes: itself
        {"/", "/"},
        {"http://127.0.0.1:8080/verify", "127.0.0.1:8080"}, // an address is its own site
        {"10.0.0.7", "10.0.0.7"},
        // A page reads "bücher.de" where its mail's sender reads "xn--bcher-kva.de": one site.
        {"https://www.Bücher.de/login", "xn--bcher-kva.de"},
        {"mail.XN--BCHER-KVA.de", "xn--bcher-kva.de"},
        {"shop.公司.cn", "shop.xn--55qx5d.cn"},
    };
    for (const auto& [input, domain] : rows)
        EXPECT_EQ(siteDomain(QString::fromUtf8(input)), domain) << input;
}

// Shown in the script it was registered in, unless it could pass for another name.
TEST(DomainDisplay, ANameInAnotherScriptShowsAsWrittenUnlessItPassesForAnother)
{
    const QList<std::pair<const char*, const char*>> rows = {
        {"xn--bcher-kva.de", "bücher.de"},
        {"shop.xn--55qx5d.cn", "shop.公司.cn"},
        {"example.com", "example.com"},
        {"xn--80ak6aa92e.com", "xn--80ak6aa92e.com"}, // "аррӏе": all Cyrillic, drawn like "apple"
        {"xn--l-7sba6dbr.com", "xn--l-7sba6dbr.com"}, // "раураl": Cyrillic and one Latin letter
        {"xn--bcher-kva.xn--80ak6aa92e.com", "xn--bcher-kva.xn--80ak6aa92e.com"}, // one bad label is enough
        {"xn--zz.de", "xn--zz.de"},                                               // no name at all
    };
    for (const auto& [domain, shown] : rows)
        EXPECT_EQ(displayDomain(domain), QString::fromUtf8(shown)) << domain;
}

TEST(SenderParsing, TheDomainOfTheLastAddress)
{
    const QList<std::pair<const char*, const char*>> rows = {
        {"Example Shop <no-reply@accounts.example-shop.com>", "example-shop.com"},
        {"no-reply@accounts.example-shop.com", "example-shop.com"},
        {"<NO-REPLY@Mail.Example.COM>", "example.com"},
        {"  Shop <a@b.shop.io>  ", "shop.io"},
        {"\"a@evil.example\" <real@bank.example>", "bank.example"},
        {"weird@name@mail.example.com", "example.com"},
        {"", ""},
        {"@", ""},
        {"Example Shop", "example shop"},
    };
    for (const auto& [sender, domain] : rows)
        EXPECT_EQ(senderSiteDomain(sender), domain) << sender;
}

TEST(AliasExpansion, AddsTheMailDomainsOfKnownServicesOnce)
{
    EXPECT_EQ(expandDomains({"claude.ai"}), (QSet<QString>{"claude.ai", "anthropic.com"}));
    EXPECT_EQ(expandDomains({"login.microsoft.com"}),
              (QSet<QString>{"microsoft.com", "microsoftonline.com", "live.com"}));
    EXPECT_EQ(expandDomains({"https://www.notion.so/login", "example.com"}),
              (QSet<QString>{"notion.so", "makenotion.com", "example.com"}));
    // x.com aliases twitter.com, whose own row would lead back to x.com: no loop, no growth.
    EXPECT_EQ(expandDomains({"x.com"}), (QSet<QString>{"x.com", "twitter.com"}));
    EXPECT_EQ(expandDomains({"anthropic.com"}), (QSet<QString>{"anthropic.com"}));
}
