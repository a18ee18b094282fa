#include "analysis/LinkFinder.h"
#include "analysis/InternetDateTime.h"

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

const QStringList site = {QStringLiteral("app.example-shop.com")};

} // namespace

TEST(CandidateLinks, BackendLinksComeFirstThenLinksWrittenInTheBody)
{
    const Message message = mail("a@b.example", "s", "Hello\nTo sign in, use\nhttps://b.example/login today.",
                                 {{"https://b.example/login", "Sign in"}, {"not a url", "x"}, {"", "empty"}});
    const QList<CandidateLink> candidates = candidateLinks(message);
    ASSERT_EQ(candidates.size(), 2);
    EXPECT_EQ(candidates[0], (CandidateLink{QUrl("https://b.example/login"), "Sign in"}));
    EXPECT_EQ(candidates[1], (CandidateLink{QUrl("https://b.example/login"),
                                            "To sign in, use https://b.example/login today."}));
}

TEST(CandidateLinks, ALinkOnTheFirstLineHasThatLineAlone)
{
    const QList<CandidateLink> candidates =
        candidateLinks(mail("a@b.example", "s", "https://b.example/x\r\nmore"));
    ASSERT_EQ(candidates.size(), 1);
    EXPECT_EQ(candidates[0].context, "https://b.example/x");
    const QList<CandidateLink> crlf =
        candidateLinks(mail("a@b.example", "s", "one\r\ntwo:\r\nhttps://b.example/x"));
    ASSERT_EQ(crlf.size(), 1);
    EXPECT_EQ(crlf[0].context, "two: https://b.example/x");
}

TEST(LinkFilters, LinksThatAreNeverOpened)
{
    const QList<std::pair<const char*, const char*>> rows = {
        {"unsubscribe", "https://app.example-shop.com/unsubscribe"},
        {"unsubscribe in the query", "https://app.example-shop.com/login?next=UNSUBSCRIBE"},
        {"privacy", "https://app.example-shop.com/privacy"},
        {"help", "https://app.example-shop.com/help/login"},
        {"image", "https://app.example-shop.com/logo.png"},
        {"tracking pixel", "https://app.example-shop.com/pixel?login=1"},
        {"mail", "mailto:login@example-shop.com"},
        {"phone", "tel:+15550100"},
        {"no host", "/login/token"},
        {"not the web", "ftp://example-shop.com/login"},
        {"social network", "https://x.com/exampleshop"},
        {"app store", "https://apps.apple.com/app/id1"},
        {"behind a tracker", "https://click.example-shop.com/t?u=https%3A%2F%2Ffacebook.com%2Fshop&login=1"},
    };
    for (const auto& [rule, url] : rows) {
        SCOPED_TRACE(rule);
        EXPECT_EQ(best({mail("no-reply@example-shop.com", "Sign in", "", {{url, "Sign in"}})},
                       {"example-shop.com"}),
                  "none");
    }
    // A site whose name merely ends like a blocked one is not blocked.
    EXPECT_EQ(best({mail("no-reply@dropbox.com", "Sign in to Dropbox", "",
                         {{"https://www.dropbox.com/login?t=1", ""}})},
                   {"dropbox.com"}),
              "https://www.dropbox.com/login?t=1");
    EXPECT_EQ(best({mail("info@netflix.com", "Your sign-in link", "", {{"https://www.netflix.com/", ""}})},
                   {"netflix.com"}),
              "https://www.netflix.com/");
}

TEST(LinkOwnership, ASiteLinkInAStrangersMailNeedsWordingAndIsNotTrusted)
{
    const Message message = mail("relay@mailer.example", "Hello", "",
                                 {{"https://app.example-shop.com/go?t=1", "Sign in to your account"}}, at10);
    const std::optional<FoundLink> link = LinkFinder::bestLink({message}, site);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->kind, FoundLink::Kind::signIn);
    EXPECT_FALSE(link->trusted);
    EXPECT_EQ(link->senderDomain, "mailer.example");
    EXPECT_EQ(link->received, parseInternetDateTime(at10));
    EXPECT_EQ(link->messageId, "m1");
    // Without wording: 40 + 10 for "auth" + 5 for the query stays under 60.
    EXPECT_EQ(best({mail("relay@mailer.example", "Hello", "",
                         {{"https://app.example-shop.com/auth?t=1", "Click"}})},
                   site),
              "none");
}

TEST(LinkOwnership, TheSitesSenderMayLinkElsewhereWhenThePathSaysSignIn)
{
    const std::optional<FoundLink> link = LinkFinder::bestLink(
        {mail("no-reply@example-shop.com", "Hello", "", {{"https://sso.idp.example/magic", "Click here"}})},
        site);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->kind, FoundLink::Kind::signIn);
    EXPECT_FALSE(link->trusted);
    EXPECT_EQ(best({mail("no-reply@example-shop.com", "Hello", "",
                         {{"https://sso.idp.example/home", "Click here"}})},
                   site),
              "none");
}

TEST(LinkOwnership, BothOnTheSiteIsTrusted)
{
    const std::optional<FoundLink> link =
        LinkFinder::bestLink({mail("Shop <no-reply@mail.example-shop.com>", "Confirm your e-mail", "",
                                   {{"https://example-shop.com/c?t=9", ""}})},
                             site);
    ASSERT_TRUE(link);
    EXPECT_TRUE(link->trusted);
    EXPECT_EQ(link->kind, FoundLink::Kind::confirm);
}

TEST(LinkOwnership, StrangersLinksElsewhereAreSkippedWithOrWithoutSites)
{
    const Message stranger =
        mail("a@other.example", "Sign in", "", {{"https://other.example/login?t=1", "Sign in"}});
    EXPECT_EQ(best({stranger}, site), "none");
    // Without sites only the sender's own links qualify, at 20 + 10 + 5 at best.
    EXPECT_EQ(best({stranger}, {}), "none");
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
    EXPECT_EQ(kindOf("Confirm and sign in", "", "https://example-shop.com/a"), "signIn");
    EXPECT_EQ(kindOf("Welcome", "Click", "https://example-shop.com/callback"), "signIn");
    EXPECT_EQ(kindOf("Welcome", "Click", "https://example-shop.com/home"), "none");
}

TEST(LinkKind, AWantedKindRulesOutOnlyClearlyWordedOtherKinds)
{
    const Message confirmOnly =
        mail("no-reply@example-shop.com", "Verify your e-mail", "", {{"https://example-shop.com/a", ""}});
    const Message both =
        mail("no-reply@example-shop.com", "Confirm to sign in", "", {{"https://example-shop.com/b", ""}});
    const Message neither =
        mail("no-reply@example-shop.com", "Hello", "", {{"https://example-shop.com/token/c", ""}});
    EXPECT_EQ(best({confirmOnly}, site, FoundLink::Kind::signIn), "none");
    EXPECT_EQ(best({confirmOnly}, site, FoundLink::Kind::confirm), "https://example-shop.com/a");
    EXPECT_EQ(best({both}, site, FoundLink::Kind::confirm), "https://example-shop.com/b");
    EXPECT_EQ(best({neither}, site, FoundLink::Kind::confirm), "https://example-shop.com/token/c");
}

TEST(LinkContext, TheSubjectSpeaksForEveryLinkAndOnlyNearbyLinesCount)
{
    const char* body = "Sign in to your account\n\nOr read our news\nhttps://example-shop.com/news";
    EXPECT_EQ(best({mail("relay@mailer.example", "Hello", body)}, site), "none");
    EXPECT_EQ(best({mail("relay@mailer.example", "Your sign-in link", body)}, site),
              "https://example-shop.com/news");
    EXPECT_EQ(best({mail("relay@mailer.example", "Hello",
                         "Sign in to your account:\nhttps://example-shop.com/news")},
                   site),
              "https://example-shop.com/news");
}

TEST(LinkScores, WordingOutweighsShapeAndOwnershipOutweighsWording)
{
    // 110 (both on the site, worded) beats 90 + 10 + 5 (both on the site, path word and query).
    EXPECT_EQ(best({mail("no-reply@example-shop.com", "Hello", "",
                         {{"https://example-shop.com/login?t=1", "Click"},
                          {"https://example-shop.com/a", "Sign in"}})},
                   site),
              "https://example-shop.com/a");
    // 90 + 10 (both on the site, path word) beats 70 + 10 + 5 (site's sender, worded link elsewhere).
    EXPECT_EQ(best({mail("no-reply@example-shop.com", "Hello", "",
                         {{"https://idp.example/login?t=1", "Sign in"},
                          {"https://example-shop.com/login", "Click"}})},
                   site),
              "https://example-shop.com/login");
    // 70 (site's sender, worded link elsewhere) beats 60 (a stranger's worded link on the site).
    EXPECT_EQ(best({mail("relay@mailer.example", "Hello", "", {{"https://example-shop.com/a", "Sign in"}},
                         at11, "m1"),
                    mail("no-reply@example-shop.com", "Hello", "", {{"https://idp.example/a", "Sign in"}},
                         at10, "m2")},
                   site),
              "https://idp.example/a");
}

TEST(LinkScores, ShapeBonusIsAQueryOrElseALongPath)
{
    // Stranger's worded site links score 60; the shape bonus breaks the tie with the earlier one.
    EXPECT_EQ(best({mail("relay@mailer.example", "Hello", "",
                         {{"https://example-shop.com/a", "Sign in"},
                          {"https://example-shop.com/abcdefghijklmnopqrst", "Sign in"}})},
                   site),
              "https://example-shop.com/abcdefghijklmnopqrst");
    EXPECT_EQ(best({mail("relay@mailer.example", "Hello", "",
                         {{"https://example-shop.com/a", "Sign in"},
                          {"https://example-shop.com/abcdefghijklmnopqrs", "Sign in"}})},
                   site),
              "https://example-shop.com/a");
    EXPECT_EQ(best({mail("relay@mailer.example", "Hello", "",
                         {{"https://example-shop.com/a", "Sign in"},
                          {"https://example-shop.com/b?t=1", "Sign in"}})},
                   site),
              "https://example-shop.com/b?t=1");
}

TEST(LinkTies, TheLaterMessageWinsAndWithinAMessageTheFirstLink)
{
    const Message early = mail("no-reply@example-shop.com", "Sign in", "",
                               {{"https://example-shop.com/early", ""}}, at10, "m1");
    const Message late =
        mail("no-reply@example-shop.com", "Sign in", "", {{"https://example-shop.com/late", ""}}, at11, "m2");
    const Message undated =
        mail("no-reply@example-shop.com", "Sign in", "", {{"https://example-shop.com/undated", ""}});
    EXPECT_EQ(best({early, late}, site), "https://example-shop.com/late");
    EXPECT_EQ(best({late, early}, site), "https://example-shop.com/late");
    EXPECT_EQ(best({undated, early}, site), "https://example-shop.com/early");
    EXPECT_EQ(best({mail("no-reply@example-shop.com", "Sign in", "",
                         {{"https://example-shop.com/first", ""}, {"https://example-shop.com/second", ""}})},
                   site),
              "https://example-shop.com/first");
}
