#pragma once

#include <functional>

namespace tessary {

// A developer build and a normal build may run side by side: the developer build announces itself
// on the session's message bus and the normal build stands aside while it hears it.
class HeartbeatBus {
public:
    virtual ~HeartbeatBus() = default;
    // Announces this (developer) build once.
    virtual void post() = 0;
    // Starts listening; `received` runs on the main thread for every announcement heard.
    virtual void listen(std::function<void()> received) = 0;
};

} // namespace tessary
