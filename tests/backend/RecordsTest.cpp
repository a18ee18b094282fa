#include "backend/DecodeRecords.h"
#include "backend/ReplyRecords.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <functional>

using namespace tessary;

namespace {

QJsonObject parse(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

// A decoder's failure message for a reply, or nothing when it takes the reply.
template <class Decoder>
std::function<std::optional<QString>(const QJsonObject&)> failureOf(Decoder decode)
{
    return [decode](const QJsonObject& reply) -> std::optional<QString> {
        const auto decoded = decode(reply);
        return decoded ? std::nullopt : std::optional(decoded.error().message);
    };
}

} // namespace

TEST(ReplyDecoding, AMissingOrMistypedFieldFailsTheWholeReplyAndNamesIt)
{
    const auto messages = failureOf([](const QJsonObject& reply) { return decodeMessages(reply); });
    const auto account = failureOf([](const QJsonObject& reply) { return decodeAccount(reply, "account"); });
    const auto accounts = failureOf([](const QJsonObject& reply) { return decodeAccountsReply(reply); });
    const auto link = failureOf([](const QJsonObject& reply) { return decodeLink(reply); });
    const auto added = failureOf([](const QJsonObject& reply) { return decodeAdded(reply); });
    const auto install = failureOf([](const QJsonObject& reply) { return decodeInstall(reply); });
    const auto ids = failureOf([](const QJsonObject& reply) { return decodeIds(reply); });
    const struct {
        std::function<std::optional<QString>(const QJsonObject&)> decode;
        const char* reply;
        const char* named; // a part of the message
    } rows[] = {
        {messages, R"({"messages": [{"id": "m1", "subject": "s", "sender": "a", "text": "t"},
                                    {"id": "m2", "subject": "s", "sender": "a"}]})",
         "messages[1].text is missing"},
        {messages, R"({"messages": [{"id": 7, "subject": "s", "sender": "a", "text": "t"}]})", "id"},
        {messages,
         R"({"messages": [{"id": "1", "subject": "s", "sender": "a", "text": "t", "receivedAt": 12}]})",
         "receivedAt"},
        {messages, R"({"messages": [{"id": "1", "subject": "s", "sender": "a", "text": "t",
                                     "links": [{"url": "https://x.example"}]}]})",
         "messages[0].links[0].text"},
        {messages, R"({"messages": {}})", "messages"},
        {messages, R"({})", "messages"},
        {account, R"({"id": "a", "provider": "gmail", "email": "x@y.z"})", "status"},
        {accounts, R"({})", "accounts"},
        {link, R"({"url": "file:///home/me/run.desktop", "accountId": "a1"})", "url"},
        {link, R"({"url": "https://login.example.com"})", "accountId is missing"},
        {added, R"({"ok": true})", "account is missing"},
        {install, R"({"token": 5})", "token"},
        {ids, R"({"ids": ["a", 2]})", "ids[1]"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reply);
        const std::optional<QString> failure = row.decode(parse(row.reply));
        ASSERT_TRUE(failure);
        EXPECT_TRUE(failure->contains(QString::fromUtf8(row.named))) << *failure;
    }
}

TEST(ReplyDecoding, OptionalFieldsMayBeMissingOrNullAndUnknownOnesAreIgnored)
{
    const auto messages = decodeMessages(parse(R"({"messages": [
        {"id": "m1", "subject": "s", "sender": "a@b.com", "text": "t"},
        {"id": "m2", "subject": "s", "sender": "a@b.com", "text": "t", "receivedAt": null, "links": null,
         "unknown": 5},
        {"id": "m3", "subject": "s", "sender": "x", "text": "t", "receivedAt": "2026-12-06T10:00:00Z",
         "links": [{"url": "https://a.example/x", "text": "Sign in"}]}]})"));
    ASSERT_TRUE(messages);
    ASSERT_EQ(messages->size(), 3);
    EXPECT_FALSE(messages->at(0).receivedAt);
    EXPECT_TRUE(messages->at(1).links.isEmpty());
    EXPECT_EQ(messages->at(2).receivedAt, QStringLiteral("2026-12-06T10:00:00Z"));
    EXPECT_EQ(messages->at(2).links, (QList<MessageLink>{{"https://a.example/x", "Sign in"}}));

    const auto accounts = decodeAccountsReply(parse(R"({"accounts": [
        {"id": "b", "provider": "outlook", "email": null, "status": "reauth"},
        {"id": "a", "provider": "gmail", "email": "x@gmail.com", "status": "active", "extra": 1}]})"));
    ASSERT_TRUE(accounts);
    ASSERT_EQ(accounts->size(), 2);
    EXPECT_EQ(accounts->at(0).id, "b"); // the backend's order
    EXPECT_FALSE(accounts->at(0).email);
    EXPECT_FALSE(accounts->at(0).isActive());
    EXPECT_EQ(accounts->at(1).email, "x@gmail.com");
    EXPECT_TRUE(accounts->at(1).isActive());
}
