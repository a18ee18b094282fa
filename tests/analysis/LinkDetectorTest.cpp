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
