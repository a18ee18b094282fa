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

// Within the limits a stream is read whole however it is split, and in linear time: looking
// again at the unfinished line on every read, or moving the rest of the buffer after every
// response, takes minutes here. (Past the limits is the hostile servers' table.)
TEST(ImapResponseReading, LongLinesAndManyResponsesAreReadInLinearTime)
{
    QByteArray search = "* SEARCH";
    for (int uid = 1; search.size() < (4 << 20) - 16; ++uid)
        search += ' ' + QByteArray::number(uid);
    struct Row {
        const char* name;
        QByteArray stream;
        qsizetype piece;
    };
    const Row rows[] = {
        {"one long line in 16-byte pieces", search + "\r\n", 16},
        {"100,000 short responses at once", QByteArray("* 1 EXISTS\r\n").repeated(100000), 1 << 30}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QList<QByteArray> pieces;
        for (qsizetype at = 0; at < row.stream.size(); at += row.piece)
            pieces.append(row.stream.mid(at, row.piece));
        EXPECT_EQ(readAll(pieces).join(), row.stream);
    }
}
