#include "backend/DecodeRecords.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace tessary;

namespace {

QJsonObject parse(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

TEST(MessageDecoding, OptionalFieldsMayBeMissingOrNull)
{
    auto messages = decodeMessages(parse(R"({"messages": [
        {"id": "m1", "subject": "s", "sender": "a@b.com", "text": "t"},
        {"id": "m2", "subject": "s", "sender": "a@b.com", "text": "t", "receivedAt": null, "links": null,
         "unknown": 5}]})"));
    ASSERT_TRUE(messages);
    ASSERT_EQ(messages->size(), 2);
    EXPECT_FALSE(messages->at(0).receivedAt);
    EXPECT_TRUE(messages->at(1).links.isEmpty());
}

TEST(MessageDecoding, KeepsLinksAndTimeAsDelivered)
{
    auto messages = decodeMessages(parse(R"({"messages": [{"id": "m1", "subject": "s", "sender": "x",
        "text": "t", "receivedAt": "2026-12-06T10:00:00Z",
        "links": [{"url": "https://a.example/x", "text": "Sign in"}]}]})"));
    ASSERT_TRUE(messages);
    EXPECT_EQ(messages->at(0).receivedAt, QStringLiteral("2026-12-06T10:00:00Z"));
    ASSERT_EQ(messages->at(0).links.size(), 1);
    EXPECT_EQ(messages->at(0).links.at(0), (MessageLink{"https://a.example/x", "Sign in"}));
}

TEST(MessageDecoding, AMissingRequiredFieldFailsTheWholeReplyAndNamesIt)
{
    auto messages = decodeMessages(parse(R"({"messages": [
        {"id": "m1", "subject": "s", "sender": "a", "text": "t"},
        {"id": "m2", "subject": "s", "sender": "a"}]})"));
    ASSERT_FALSE(messages);
    EXPECT_TRUE(messages.error().message.contains("messages[1].text is missing")) << messages.error().message;
}

TEST(MessageDecoding, MistypedFieldsFail)
{
    EXPECT_FALSE(
        decodeMessages(parse(R"({"messages": [{"id": 7, "subject": "s", "sender": "a", "text": "t"}]})")));
    EXPECT_FALSE(decodeMessages(parse(R"({"messages": [{"id": "1", "subject": "s", "sender": "a", "text": "t",
        "receivedAt": 12}]})")));
    auto badLink =
        decodeMessages(parse(R"({"messages": [{"id": "1", "subject": "s", "sender": "a", "text": "t",
        "links": [{"url": "https://x.example"}]}]})"));
    ASSERT_FALSE(badLink);
    EXPECT_TRUE(badLink.error().message.contains("messages[0].links[0].text")) << badLink.error().message;
    EXPECT_FALSE(decodeMessages(parse(R"({"messages": {}})")));
    EXPECT_FALSE(decodeMessages(parse(R"({})")));
}

TEST(AccountDecoding, EmailIsOptionalStatusIsNot)
{
    auto withoutEmail =
        decodeAccount(parse(R"({"id": "a", "provider": "gmail", "status": "active"})"), "account");
    ASSERT_TRUE(withoutEmail);
    EXPECT_FALSE(withoutEmail->email);
    EXPECT_TRUE(withoutEmail->isActive());
    EXPECT_FALSE(decodeAccount(parse(R"({"id": "a", "provider": "gmail", "email": "x@y.z"})"), "account"));
}

TEST(AccountDecoding, ProviderNamesForTheKnownProvidersOnly)
{
    for (const auto& [provider, name] : QList<std::pair<const char*, const char*>>{
             {"gmail", "Gmail"}, {"outlook", "Outlook"}, {"imap", "IMAP"}, {"fastmail", "fastmail"}})
        EXPECT_EQ((Account{"a", provider, {}, "active"}.providerName()), name);
}
