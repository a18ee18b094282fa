#include "SampleMail.h"

#include <QDateTime>
#include <QRandomGenerator>

namespace tessary::bench {

namespace {

const QString filler = QStringLiteral(
    "We are writing to let you know about recent activity on your account. If this was you, there is "
    "nothing else to do. If you did not request this, please review your recent activity and change your "
    "password. This message was sent to you because you have an account with us. ");

QString padTo(QString body, qsizetype size)
{
    while (body.size() < size)
        body += filler;
    return body.left(size);
}

Message mail(int index, QRandomGenerator& random)
{
    const auto six = QString::number(100000 + random.bounded(900000));
    const QString received =
        QDateTime::fromSecsSinceEpoch(1765000000 + index * 7, Qt::UTC).toString(Qt::ISODate);
    Message message;
    message.id = QStringLiteral("m%1").arg(index);
    message.receivedAt = received;
    switch (index % 5) {
    case 0:
        message.subject = six + QStringLiteral(" is your verification code");
        message.sender = QStringLiteral("Example Shop <no-reply@accounts.example-shop.com>");
        message.text = padTo(
            QStringLiteral("Hello,\n\nYour one-time code is %1. It expires in 10 minutes.\n\n").arg(six),
            2048);
        break;
    case 1:
        message.subject = QStringLiteral("Sign in to Notion");
        message.sender = QStringLiteral("Notion Team <notify@makenotion.com>");
        message.text =
            padTo(QStringLiteral(
                      "Click the link below to sign in:\nhttps://www.notion.so/loginwithemail?token=%1\n\n"
                      "Or copy and paste this temporary login code:\nQX7-9KD\n\n")
                      .arg(six),
                  2048);
        break;
    case 2:
        message.subject = QStringLiteral("This week only: 25% off everything");
        message.sender = QStringLiteral("Deals <news@deals.example.net>");
        message.text =
            padTo(QStringLiteral("Use promo code SAVE25 at checkout. Offer ends 12/31/2025.\n"
                                 "Gift card balances can be checked online. Order 4821 ships soon.\n"),
                  2048);
        break;
    case 3:
        message.subject = QStringLiteral("Your receipt #%1").arg(six);
        message.sender = QStringLiteral("billing@example.org");
        message.text = padTo(
            QStringLiteral("Thanks for your order %1 placed on 2025-11-02.\nTotal: 48.20 EUR\n").arg(six),
            2048);
        break;
    default:
        message.subject = QStringLiteral("Re: meeting on Thursday");
        message.sender = QStringLiteral("Alice Example <alice@example.com>");
        message.text =
            padTo(QStringLiteral("Hi, can we move the meeting to 14:30? Room 2.14 is free.\n"), 2048);
        break;
    }
    return message;
}

} // namespace

QList<Message> realisticMailbox(int count)
{
    QRandomGenerator random(42);
    QList<Message> messages;
    messages.reserve(count);
    for (int i = 0; i < count; ++i)
        messages.append(mail(i, random));
    return messages;
}

QString megabyteOfDigits()
{
    QString text = QStringLiteral("Your verification code:\n");
    while (text.size() < 1024 * 1024)
        text += QStringLiteral("1234567890");
    return text;
}

QString megabyteWithoutSpaces()
{
    QString text = QStringLiteral("Your verification code:");
    while (text.size() < 1024 * 1024)
        text += QStringLiteral("AB12-CD34-x9_code%off-");
    return text;
}

QString hundredThousandLines()
{
    QString text;
    for (int i = 0; i < 100000; ++i)
        text += QStringLiteral("line %1: your code is %2 ABC%3\n").arg(i).arg(100000 + i).arg(i % 1000);
    return text;
}

} // namespace tessary::bench
