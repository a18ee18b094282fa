#include "server/ImapResponse.h"

#include <gtest/gtest.h>

#include <random>

using namespace tessary::server;

namespace {

// A body holding CRLFs and its own "{5}" must not end the response early.
const QByteArray transcript =
    "* OK [UIDVALIDITY 77] ready\r\n"
    "* 1 FETCH (UID 9 INTERNALDATE \"06-Dec-2025 10:00:00 +0100\" BODY[]<0> {24}\r\n"
    "Subject: x {5}\r\n\r\nbody\r\n)\r\n"
    "* LIST (\\HasNoChildren \\Trash) \"/\" \"Deleted \\\"Items\\\"\"\r\n"
    "t1 OK done\r\n";

QList<QByteArray> readAll(const QList<QByteArray>& chunks)
{
    ImapResponseReader reader;
    QList<QByteArray> responses;
    for (const QByteArray& chunk : chunks) {
        reader.feed(chunk);
        while (auto response = reader.next())
            responses.append(*response);
    }
    return responses;
}

} // namespace

TEST(ImapResponseReading, SplitsAnywhereGiveTheSameResponses)
{
    const QList<QByteArray> whole = readAll({transcript});
    ASSERT_EQ(whole.size(), 4);
    EXPECT_EQ(whole.join(), transcript);

    QList<QByteArray> bytes;
    for (const char c : transcript)
        bytes.append(QByteArray(1, c));
    EXPECT_EQ(readAll(bytes), whole) << "byte by byte";

    std::mt19937 random(13);
    for (int round = 0; round < 300; ++round) {
        QList<QByteArray> chunks;
        for (qsizetype at = 0; at < transcript.size();) {
            const qsizetype size = std::uniform_int_distribution<qsizetype>(1, 40)(random);
            chunks.append(transcript.mid(at, size));
            at += size;
        }
        SCOPED_TRACE(round);
        ASSERT_EQ(readAll(chunks), whole);
    }
}

TEST(ImapResponseReading, TokensOfFetchListAndCodes)
{
    const QList<QByteArray> responses = readAll({transcript});
    EXPECT_EQ(parseImapResponse(responses[0])[2].text, "[UIDVALIDITY 77]");

    const QList<ImapValue> fetch = parseImapResponse(responses[1]);
    ASSERT_EQ(fetch.size(), 4);
    const QList<ImapValue>& items = fetch[3].items;
    ASSERT_EQ(items.size(), 6);
    EXPECT_EQ(items[3].text, "06-Dec-2025 10:00:00 +0100");
    EXPECT_EQ(items[4].text, "BODY[]<0>");
    EXPECT_EQ(items[5].text, "Subject: x {5}\r\n\r\nbody\r\n");

    const QList<ImapValue> list = parseImapResponse(responses[2]);
    ASSERT_EQ(list.size(), 5);
    EXPECT_TRUE(list[2].items[1].isAtom("\\Trash"));
    EXPECT_EQ(list[4].text, "Deleted \"Items\"");

    EXPECT_EQ(imapQuoted("pa\"ss\\"), QByteArray("\"pa\\\"ss\\\\\""));
    EXPECT_FALSE(imapQuoted("a\r\nb"));
}

TEST(ImapResponseReading, GarbageNeverHangsOrCrashes)
{
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        QByteArray noise;
        for (int i = 0; i < 200; ++i)
            noise.append("(){}[]\"\\ \r\nA1*+"[std::uniform_int_distribution<int>(0, 15)(random)]);
        ImapResponseReader reader;
        reader.feed(noise);
        qsizetype taken = 0;
        while (auto response = reader.next()) {
            (void)parseImapResponse(*response);
            taken += response->size();
        }
        SCOPED_TRACE(round);
        EXPECT_EQ(taken + reader.buffered(), noise.size()) << "no byte lost or made up";
    }
}

// A server may send anything: past the limits the reader stops taking bytes and says so, and a
// response within them is read whole however finely it is split (each byte looked at once: a
// 4 MB message in 16-byte pieces would otherwise be rescanned a quarter of a million times).
TEST(ImapResponseReading, LimitsHoldAndFineSplitsStayLinear)
{
    const QByteArray body(4 * 1024 * 1024, 'b');
    const QByteArray fetch =
        "* 1 FETCH (UID 1 BODY[]<0> {" + QByteArray::number(body.size()) + "}\r\n" + body + ")\r\n";
    struct Row {
        const char* name;
        QByteArray stream;
        qsizetype piece;
        bool overLimit;
    };
    const Row rows[] = {
        {"a whole message, 16 bytes at a time", fetch, 16, false},
        {"a line with no end", QByteArray(5 * 1024 * 1024, 'x'), 64 * 1024, true},
        {"a literal larger than a message may be", "* OK {999999999}\r\nxyz", 4, true},
        {"a message longer than was asked for", "* 1 FETCH (BODY[] {5000000}\r\n", 8, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ImapResponseReader reader;
        QList<QByteArray> responses;
        for (qsizetype at = 0; at < row.stream.size(); at += row.piece) {
            reader.feed(row.stream.mid(at, row.piece));
            while (auto response = reader.next())
                responses.append(*response);
        }
        EXPECT_EQ(reader.overLimit(), row.overLimit);
        EXPECT_EQ(responses.join(), row.overLimit ? QByteArray() : row.stream);
        EXPECT_LE(reader.buffered(), ImapLimits{}.maxResponse + row.piece);
    }
}
