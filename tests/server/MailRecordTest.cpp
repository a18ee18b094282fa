#include "server/MailRecord.h"
#include "server/EncodedWords.h"

#include <gtest/gtest.h>

using namespace tessary::server;

TEST(MailHeaders, EncodedWordsJoinedBeforeDecoding)
{
    struct Row {
        const char* raw;
        QString expected;
    };
    const Row rows[] = {
        {"=?UTF-8?B?WW91ciBjb2RlOiA0?= =?UTF-8?B?MjE=?=", QStringLiteral("Your code: 421")},
        // "é" (C3 A9) split across two words
        {"=?utf-8?Q?Caf=C3?= =?utf-8?Q?=A9_code?=", QStringLiteral("Café code")},
        // "コード" in ISO-2022-JP, the escape sequence and the characters split between two words
        {"=?ISO-2022-JP?B?GyRCJTMh?= =?ISO-2022-JP?B?PCVJGyhC?=", QStringLiteral("コード")},
        {"=?iso-8859-1?q?R=E9sum=E9?= and\r\n more", QStringLiteral("Résumé and more")},
        {"Plain \xC3\xBC text", QStringLiteral("Plain ü text")},
        {"=?bogus?Q?abc?=", QStringLiteral("abc")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.raw);
        EXPECT_EQ(decodeHeaderText(row.raw), row.expected);
    }
}

TEST(MailBodies, PartsCharsetsAndHtml)
{
    struct Row {
        const char* name;
        QByteArray raw;
        QString text;
        QList<std::pair<QString, QString>> links;
    };
    const Row rows[] = {
        {"quoted-printable latin-1",
         "From: =?utf-8?Q?J=C3=B6rg?= <j@example.com>\r\nSubject: Code\r\nContent-Type: text/plain; "
         "charset=iso-8859-1\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\nIhr Code: 123456 f=FCr "
         "=\r\nSie\r\n",
         QStringLiteral("Ihr Code: 123456 für Sie\r\n"),
         {}},
        {"html only, scripts dropped, blocks as lines, cells apart but one-character boxes joined",
         "Subject: =?utf-8?Q?Sign_in?=\r\nContent-Type: text/html; charset=utf-8\r\n"
         "Content-Transfer-Encoding: base64\r\n\r\n" +
             QByteArray(
                 "<html><head><title>T</title><style>p{}</style></head><body><p>Hello</p><script>x()</script>"
                 "<div>Code <b>778899</b></div><table><tr><td>Your "
                 "code</td><td>445566</td></tr><tr><td>7</td><td>1</td><td>0</td><td>3</td></tr></table><a "
                 "href=\"https://ex.com/v?t=1\"> Confirm\n email "
                 "</a></body></html>")
                 .toBase64(),
         QStringLiteral("Hello\nCode 778899\nYour code 445566\n7103\nConfirm email"),
         {{QStringLiteral("https://ex.com/v?t=1"), QStringLiteral("Confirm email")}}},
        {"multipart alternative prefers the plain part, links from the html",
         "Subject: Both\r\nMIME-Version: 1.0\r\nContent-Type: multipart/alternative; "
         "boundary=XX\r\n\r\n--XX\r\n"
         "Content-Type: text/plain; charset=utf-8\r\n\r\nPlain 4242\r\n--XX\r\nContent-Type: "
         "text/html\r\n\r\n"
         "<a href='https://a.example/'>Go</a>\r\n--XX--\r\n",
         QStringLiteral("Plain 4242"),
         {{QStringLiteral("https://a.example/"), QStringLiteral("Go")}}},
        {"malformed: no headers end, broken multipart",
         "Subject: half\r\nContent-Type: multipart/mixed; boundary=\r\n",
         QString(),
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const MailRecord record = readMail(row.raw);
        EXPECT_EQ(record.text.trimmed(), row.text.trimmed());
        QList<std::pair<QString, QString>> links;
        for (const HtmlLink& link : record.links)
            links.append({link.url, link.text});
        EXPECT_EQ(links, row.links);
    }
    EXPECT_EQ(readMail(rows[0].raw).sender, QStringLiteral("Jörg <j@example.com>"));
    EXPECT_EQ(readMail(rows[1].raw).subject, QStringLiteral("Sign in"));
    // Links nested in links keep short texts: the text inside them is not copied into each enclosing one.
    const QByteArray nested = QByteArray("<a href='https://x.example/'>go <div>").repeated(20) +
                              QByteArray("word ").repeated(40000);
    qsizetype linkText = 0;
    for (const HtmlLink& link : readMail("Content-Type: text/html\r\n\r\n" + nested).links)
        linkText += link.text.size();
    EXPECT_LT(linkText, nested.size());
}
