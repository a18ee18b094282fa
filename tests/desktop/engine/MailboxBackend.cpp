#include "desktop/engine/MailboxBackend.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

namespace tessary::test {

MailboxBackend::MailboxBackend()
{
    // Scripted just before the request is answered, so every reply shows the mailbox as it is then.
    QObject::connect(&m_server, &FakeBackendServer::received, &m_server,
                     [this](const QString& path) { answer(path); });
}

void MailboxBackend::deliver(const QString& sender, const QString& subject, const QString& text,
                             int ageSeconds)
{
    m_messages.append(
        {{"id", QStringLiteral("m%1").arg(m_messages.size() + 1)},
         {"sender", sender},
         {"subject", subject},
         {"text", text},
         {"receivedAt", QDateTime::currentDateTimeUtc().addSecs(-ageSeconds).toString(Qt::ISODate)}});
}

void MailboxBackend::deliverLink(const QString& sender, const QString& subject, const QString& text,
                                 const QString& url, const QString& linkText)
{
    deliver(sender, subject, text);
    m_messages.last().insert("links", QJsonArray{QJsonObject{{"url", url}, {"text", linkText}}});
}

void MailboxBackend::answer(const QString& path)
{
    const auto json = [](const QJsonObject& body) {
        return ScriptedReply::json(200, QJsonDocument(body).toJson(QJsonDocument::Compact));
    };
    if (path == QLatin1String("v1/accounts")) {
        m_server.script(path, json({{"accounts", QJsonArray{QJsonObject{{"id", "a1"},
                                                                        {"provider", "imap"},
                                                                        {"status", "active"},
                                                                        {"email", "me@example.com"}}}}}));
        return;
    }
    const bool messages = path == QLatin1String("v1/messages");
    if (!messages && path != QLatin1String("v1/messages/ids"))
        return;
    if (m_failure) {
        m_server.script(path, ScriptedReply::json(*m_failure, "{}"));
        return;
    }
    QJsonArray list;
    for (const QJsonObject& message : m_messages)
        list.append(messages ? QJsonValue(message) : message.value("id"));
    m_server.script(path, json({{messages ? "messages" : "ids", list}}));
}

} // namespace tessary::test
