#pragma once

#include "fakes/FakeBackendServer.h"

#include <QJsonObject>
#include <QList>

#include <optional>

namespace tessary::test {

// A backend on 127.0.0.1 that answers from a mailbox the test fills as it goes: one active inbox,
// the mailbox's messages and their ids. Mail "arrives" when the test delivers it; from then on
// every ids and messages reply carries it. With `failWith` set, the message endpoints answer with
// that HTTP status and no error text of their own.
class MailboxBackend {
public:
    MailboxBackend();

    QString url() const { return m_server.url().toString(); }
    // Adds a message received `ageSeconds` ago.
    void deliver(const QString& sender, const QString& subject, const QString& text, int ageSeconds = 0);
    // Adds a message whose HTML body holds one link.
    void deliverLink(const QString& sender, const QString& subject, const QString& text, const QString& url,
                     const QString& linkText);
    void failWith(int status) { m_failure = status; }
    int requestsTo(const QString& path) const { return int(m_server.requestsTo(path).size()); }

private:
    void answer(const QString& path);

    FakeBackendServer m_server;
    QList<QJsonObject> m_messages;
    std::optional<int> m_failure;
};

} // namespace tessary::test
