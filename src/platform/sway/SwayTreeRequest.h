#pragma once

#include "common/Expected.h"

#include <QByteArray>
#include <QJsonObject>
#include <QLocalSocket>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace tessary {

// One get_tree over a connection of its own, answered from the event loop: sway's tree, or why
// there is none (no sway, no answer within half a second, not sway talking). Nothing waits for it.
// Once answered it deletes itself; deleting it before that drops the answer.
class SwayTreeRequest : public QObject {
public:
    using Answer = Expected<QJsonObject, QString>;

    SwayTreeRequest(QString socketPath, std::function<void(const Answer&)> answered);
    // Connects and asks; `answered` may be called before this returns (no socket to reach).
    void start();

private:
    void readAvailable();
    void finish(const Answer& answer);

    QString m_socketPath;
    std::function<void(const Answer&)> m_answered;
    QLocalSocket m_socket;
    QTimer m_timeout;
    QByteArray m_buffer;
    bool m_finished = false;
};

} // namespace tessary
