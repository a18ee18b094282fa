#pragma once

#include <chrono>

namespace tessary {

using namespace std::chrono_literals;

// Every duration the application waits for, in one place. The defaults are the product's; tests
// shorten them instead of waiting.
struct Timings {
    std::chrono::milliseconds focusTick = 400ms;   // focus loop
    std::chrono::milliseconds codeBurst = 90s;     // polling for a code after a field is focused
    std::chrono::milliseconds linkBurst = 120s;    // polling for an e-mailed link
    std::chrono::milliseconds detectionRest = 3s;  // no field detection after a fill
    std::chrono::milliseconds filledChip = 900ms;  // "Filled" shown before the chip hides
    std::chrono::milliseconds openedChip = 1500ms; // "Opened" shown before the chip hides
    std::chrono::milliseconds failedChip = 4s;     // a failure dismisses itself
    std::chrono::milliseconds signInCheck = 2s;    // between checks of a browser sign-in
    int signInChecks = 150;                        // checks before giving up on a sign-in
    std::chrono::milliseconds heartbeat = 6s;      // a developer build's heartbeat is fresh this long
    std::chrono::milliseconds statePoll = 1s;      // access check and pause expiry
};

} // namespace tessary
