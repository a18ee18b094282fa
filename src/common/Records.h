#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace tessary {

// A link the backend found in a message.
struct MessageLink {
    QString url;
    QString text;
    friend bool operator==(const MessageLink&, const MessageLink&) = default;
};

// One e-mail that arrived in a connected inbox.
struct Message {
    QString id;
    QString subject;
    QString sender;
    QString text;
    std::optional<QString> receivedAt;           // ISO 8601 internet date-time, as delivered
    QList<MessageLink> links;                    // empty when the backend sent none
    std::optional<QString> phone = std::nullopt; // the phone's name when the message is a text message
    friend bool operator==(const Message&, const Message&) = default;
};

// A text message one of the user's phones sent or received, as its companion service relays it.
struct SmsMessage {
    enum class Direction { received, sent, other };
    QString deviceId;
    QString deviceName;
    qint64 threadId = 0;
    qint64 uid = 0; // the phone's id of the message, unique within its thread
    QString address;
    QString body;
    qint64 dateMs = 0; // the phone's clock, milliseconds since 1970 UTC
    Direction direction = Direction::other;
    friend bool operator==(const SmsMessage&, const SmsMessage&) = default;
};

// "Gmail", "Outlook", "IMAP" for the providers the backend names "gmail", "outlook", "imap"; any
// other name as it is.
QString providerDisplayName(const QString& provider);

// A connected inbox.
struct Account {
    QString id;
    QString provider;
    std::optional<QString> email;
    QString status;
    // Why the backend cannot read the inbox (status "error"), in the user's words.
    std::optional<QString> error = std::nullopt;

    bool isActive() const { return status == QLatin1String("active"); }
    QString providerName() const { return providerDisplayName(provider); }
    friend bool operator==(const Account&, const Account&) = default;
};

} // namespace tessary
