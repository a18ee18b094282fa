#include "backend/ReplyRecords.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace tessary;

namespace {

QJsonValue parse(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

TEST(ReplyDecoding, AccountsKeepTheBackendsOrderAndFailWhole)
{
    auto accounts = decodeAccountsReply(parse(R"({"accounts": [
        {"id": "b", "provider": "outlook", "email": null, "status": "reauth"},
        {"id": "a", "provider": "gmail", "email": "x@gmail.com", "status": "active", "extra": 1}]})"));
    ASSERT_TRUE(accounts);
    ASSERT_EQ(accounts->size(), 2);
    EXPECT_EQ(accounts->at(0).id, "b");
    EXPECT_FALSE(accounts->at(0).isActive());
    EXPECT_EQ(accounts->at(1).email, "x@gmail.com");
    EXPECT_FALSE(decodeAccountsReply(parse(R"({})")));
    EXPECT_FALSE(decodeAccountsReply(QJsonValue(3)));
}

TEST(ReplyDecoding, ALinkNeedsAnAbsoluteURLAndAnAccountId)
{
    auto link = decodeLink(parse(R"({"url": "https://login.example.com/o?c=1", "accountId": "a1"})"));
    ASSERT_TRUE(link);
    EXPECT_EQ(link->url.host(), "login.example.com");
    auto relative = decodeLink(parse(R"({"url": "/oauth/start", "accountId": "a1"})"));
    ASSERT_FALSE(relative);
    EXPECT_TRUE(relative.error().message.contains("url")) << relative.error().message;
    auto noId = decodeLink(parse(R"({"url": "https://login.example.com"})"));
    ASSERT_FALSE(noId);
    EXPECT_TRUE(noId.error().message.contains("accountId is missing")) << noId.error().message;
}

TEST(ReplyDecoding, AddedAndInstallNeedTheirOneField)
{
    EXPECT_TRUE(decodeAdded(parse(R"({"account": {"id": "a", "provider": "imap", "status": "active"}})")));
    auto noAccount = decodeAdded(parse(R"({"ok": true})"));
    ASSERT_FALSE(noAccount);
    EXPECT_TRUE(noAccount.error().message.contains("account is missing")) << noAccount.error().message;
    EXPECT_EQ(*decodeInstall(parse(R"({"token": "abc"})")), "abc");
    EXPECT_FALSE(decodeInstall(parse(R"({"token": 5})")));
}

TEST(ReplyDecoding, IdsAreASetOfStrings)
{
    auto ids = decodeIds(parse(R"({"ids": ["a", "b", "a"]})"));
    ASSERT_TRUE(ids);
    EXPECT_EQ(*ids, (QSet<QString>{"a", "b"}));
    auto mistyped = decodeIds(parse(R"({"ids": ["a", 2]})"));
    ASSERT_FALSE(mistyped);
    EXPECT_TRUE(mistyped.error().message.contains("ids[1]")) << mistyped.error().message;
}
