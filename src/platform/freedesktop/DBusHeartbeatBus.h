#pragma once

#include "engine/HeartbeatBus.h"

#include <QObject>

namespace tessary {

// The developer build's heartbeat as a broadcast signal on the session bus, named
// "com.tessary.mac.dev.heartbeat" whatever the application id, so every build hears the same one.
class DBusHeartbeatBus final : public QObject, public HeartbeatBus {
    Q_OBJECT
public:
    void post() override;
    void listen(std::function<void()> received) override;

private slots:
    void heard();

private:
    std::function<void()> m_received;
};

} // namespace tessary
