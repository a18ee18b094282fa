#include "platform/kdeconnect/NotificationMessage.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

QVariantMap posted(const QString& app, const QString& text, bool silent = false,
                   const QString& id = "0|sms|1")
{
    return {{"internalId", id}, {"appName", app},   {"title", "+4915112345678"},
            {"text", text},     {"silent", silent}, {"ticker", "+4915112345678: Your code is 552910"}};
}

TEST(NotificationMessage, AMessagesAppsNotificationReadsAsATextMessageDatedAtArrival)
{
    const std::optional<SmsMessage> message =
        decodeNotification(posted("Messages", "Code 552910"), "dev1", 1000);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->deviceId, "dev1");
    EXPECT_EQ(message->address, "+4915112345678");
    EXPECT_EQ(message->body, "Code 552910");
    EXPECT_EQ(message->dateMs, 1000);
    EXPECT_EQ(message->direction, SmsMessage::Direction::received);
    // Without text the ticker, which repeats the title before it, still carries the code.
    EXPECT_EQ(decodeNotification(posted("Messages", ""), "dev1", 0)->body,
              "+4915112345678: Your code is 552910");

    // The same notification posted again is the same message; new text in it is a new one.
    const qint64 uid = message->uid;
    EXPECT_EQ(decodeNotification(posted("Messages", "Code 552910"), "dev1", 9000)->uid, uid);
    EXPECT_NE(decodeNotification(posted("Messages", "Code 118822"), "dev1", 9000)->uid, uid);
    EXPECT_NE(decodeNotification(posted("Messages", "Code 552910", false, "0|sms|2"), "dev1", 9000)->uid,
              uid);
    EXPECT_NE(decodeNotification(posted("Textra", "Code 552910"), "dev1", 9000)->uid, uid);
}

TEST(NotificationMessage, OnlyMessagesAppsLoudNotificationsCount)
{
    for (const char* app : {"Messages", "Google Messages", "Samsung Messages", "Messaging", "Textra", "QKSMS",
                            "Mensajes", "Mensagens", "Nachrichten", "Сообщения"})
        EXPECT_TRUE(decodeNotification(posted(app, "Code 552910"), "dev1", 0)) << app;
    for (const char* app : {"Gmail", "Bank", "Calendar", ""})
        EXPECT_FALSE(decodeNotification(posted(app, "Code 552910"), "dev1", 0)) << app;
    // A phone posts its notifications again, silent, each time it reconnects.
    EXPECT_FALSE(decodeNotification(posted("Messages", "Code 552910", true), "dev1", 0));
}

} // namespace
} // namespace tessary
