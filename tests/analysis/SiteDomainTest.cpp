#include "analysis/SiteDomain.h"

#include <QList>

#include <gtest/gtest.h>

using namespace tessary;

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
    };
    for (const auto& [input, domain] : rows)
        EXPECT_EQ(siteDomain(input), domain) << input;
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
