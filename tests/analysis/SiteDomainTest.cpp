#include "analysis/SiteDomain.h"

#include <gtest/gtest.h>

using namespace tessary;

TEST(DomainReduction, KeepsTheLastTwoLowerCaseLabels)
{
    EXPECT_EQ(siteDomain("accounts.Example-Shop.COM"), "example-shop.com");
    EXPECT_EQ(siteDomain("example.com"), "example.com");
    EXPECT_EQ(siteDomain("localhost"), "localhost");
    EXPECT_EQ(siteDomain("a..b...example.com."), "example.com");
    EXPECT_EQ(siteDomain(""), "");
}

TEST(DomainReduction, DropsSchemeAndPath)
{
    EXPECT_EQ(siteDomain("https://accounts.google.com/signin/v2?x=1"), "google.com");
    EXPECT_EQ(siteDomain("HTTP://www.example.org/"), "example.org");
    EXPECT_EQ(siteDomain("//cdn.example.net/a/b"), "example.net");
}

TEST(DomainReduction, PortsAndCountryDomainsAreNotSpecial)
{
    EXPECT_EQ(siteDomain("https://login.example.com:8443/x"), "example.com:8443");
    EXPECT_EQ(siteDomain("shop.example.co.uk"), "co.uk");
}

TEST(DomainReduction, AnInputOfOnlySlashesFallsBackToItself)
{
    EXPECT_EQ(siteDomain("https://"), "https://");
    EXPECT_EQ(siteDomain("/"), "/");
}

TEST(SenderParsing, NamedAndBareAddressesGiveTheSameDomain)
{
    EXPECT_EQ(senderSiteDomain("Example Shop <no-reply@accounts.example-shop.com>"), "example-shop.com");
    EXPECT_EQ(senderSiteDomain("no-reply@accounts.example-shop.com"), "example-shop.com");
    EXPECT_EQ(senderSiteDomain("<NO-REPLY@Mail.Example.COM>"), "example.com");
    EXPECT_EQ(senderSiteDomain("  Shop <a@b.shop.io>  "), "shop.io");
}

TEST(SenderParsing, TheLastAngleBracketAndTheLastAtWin)
{
    EXPECT_EQ(senderSiteDomain("\"a@evil.example\" <real@bank.example>"), "bank.example");
    EXPECT_EQ(senderSiteDomain("weird@name@mail.example.com"), "example.com");
}

TEST(SenderParsing, NoAddressGivesNothingUsable)
{
    EXPECT_EQ(senderSiteDomain(""), "");
    EXPECT_EQ(senderSiteDomain("@"), "");
    EXPECT_EQ(senderSiteDomain("Example Shop"), "example shop");
}

TEST(AliasExpansion, AddsTheMailDomainsOfKnownServices)
{
    EXPECT_EQ(expandDomains({"claude.ai"}), (QSet<QString>{"claude.ai", "anthropic.com"}));
    EXPECT_EQ(expandDomains({"login.microsoft.com"}),
              (QSet<QString>{"microsoft.com", "microsoftonline.com", "live.com"}));
    EXPECT_EQ(expandDomains({"https://www.notion.so/login", "example.com"}),
              (QSet<QString>{"notion.so", "makenotion.com", "example.com"}));
}

TEST(AliasExpansion, AliasesAreNotExpandedAgain)
{
    // x.com aliases twitter.com, whose own row would lead back to x.com: no loop, no growth.
    EXPECT_EQ(expandDomains({"x.com"}), (QSet<QString>{"x.com", "twitter.com"}));
    EXPECT_EQ(expandDomains({"anthropic.com"}), (QSet<QString>{"anthropic.com"}));
    EXPECT_TRUE(expandDomains({}).isEmpty());
}

TEST(AliasExpansion, EveryRowIsInSiteDomainForm)
{
    ASSERT_EQ(domainAliases().size(), 10);
    for (auto row = domainAliases().begin(); row != domainAliases().end(); ++row) {
        EXPECT_EQ(siteDomain(row.key()), row.key());
        for (const QString& alias : row.value()) {
            EXPECT_EQ(siteDomain(alias), alias);
            EXPECT_NE(alias, row.key());
        }
    }
}
