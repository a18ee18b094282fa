#include "analysis/LinkDetector.h"

#include <gtest/gtest.h>

using namespace tessary;

namespace {

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

} // namespace

TEST(LinkDetector, FindsHttpHttpsAndWwwLinksInOrder)
{
    EXPECT_EQ(detected("Go to https://a.example/x?y=1 or http://b.example/ now"),
              (QStringList{"https://a.example/x?y=1@6+23", "http://b.example/@33+17"}));
    EXPECT_EQ(detected("Visit www.example.com/login today"),
              QStringList{"http://www.example.com/login@6+21"});
    EXPECT_EQ(detected("HTTPS://Example.COM/Path"), QStringList{"https://example.com/Path@0+24"});
}

TEST(LinkDetector, LeavesOutTrailingPunctuation)
{
    EXPECT_EQ(detected("Open https://a.example/x."), QStringList{"https://a.example/x@5+19"});
    EXPECT_EQ(detected("(see https://a.example/x), then"), QStringList{"https://a.example/x@5+19"});
    EXPECT_EQ(detected("<https://a.example/x>"), QStringList{"https://a.example/x@1+19"});
    EXPECT_EQ(detected("\"https://a.example/x\"!"), QStringList{"https://a.example/x@1+19"});
    EXPECT_EQ(detected("link: https://a.example/x?!;:"), QStringList{"https://a.example/x@6+19"});
}

TEST(LinkDetector, KeepsABracketTheLinkOpened)
{
    EXPECT_EQ(detected("https://en.example.org/wiki/Tea_(drink)."),
              QStringList{"https://en.example.org/wiki/Tea_(drink)@0+39"});
    EXPECT_EQ(detected("(https://en.example.org/wiki/Tea_(drink))"),
              QStringList{"https://en.example.org/wiki/Tea_(drink)@1+39"});
}

TEST(LinkDetector, ReportsPositionsInUtf16Units)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x94\x91");
    EXPECT_EQ(detected(emoji + " https://a.example/" + emoji),
              QStringList{"https://a.example/%F0%9F%94%91@3+20"});
}

TEST(LinkDetector, IgnoresWhatIsNotAWebLink)
{
    EXPECT_TRUE(detected("mail me at me@example.com or ftp://files.example/x").isEmpty());
    EXPECT_TRUE(detected("https:// and www. alone").isEmpty());
    EXPECT_TRUE(detected("xhttps://a.example/ and awww.example.com").isEmpty());
}
