#pragma once

#include "screen/FocusInFront.h"

#include <functional>

namespace tessary {

// Whether this session lets Tessary read other applications, and the request to let it.
class AccessPermission {
public:
    virtual ~AccessPermission() = default;

    // Makes an application expose its content to the accessibility interface.
    virtual void prepareAccessibility(const RunningApplication& application) = 0;
    // Whether the user has granted (enabled) accessibility access for this session.
    virtual bool isTrusted() = 0;
    // The same question without waiting for the answer: `answer` runs on the main thread once,
    // possibly before this returns; a service that hangs answers false after its time-out.
    virtual void checkTrusted(std::function<void(bool)> answer) = 0;
};

} // namespace tessary
