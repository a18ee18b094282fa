#pragma once

#include <chrono>

namespace tessary {

// Every duration the application waits for, in one place. The defaults are the product's; tests
// shorten them instead of waiting.
struct Timings {
    using ms = std::chrono::milliseconds;

    // Engine
    ms focusTick{400};       // focus loop
    ms codeBurst{90'000};    // polling for a code after a field is focused
    ms linkBurst{120'000};   // polling for an e-mailed link
    ms detectionRest{3000};  // no field detection after a fill
    ms filledChip{900};      // "Filled" shown before the chip hides
    ms openedChip{1500};     // "Opened" shown before the chip hides
    ms failedChip{4000};     // a failure dismisses itself
    ms heartbeat{6000};      // a developer build's heartbeat is fresh this long
    ms heartbeatEvery{2000}; // how often a developer build sends one
    ms idsPass{1000};        // between ids requests of a burst, after a repeat answered at once unchanged
    ms pageRescan{6000};     // a page at rest is read again this often: it may rewrite itself

    // Application state
    ms signInCheck{2000}; // between checks of a browser sign-in
    int signInChecks = 150;
    ms statePoll{1000}; // access check and pause expiry

    // Typing. A wide field gets a steady pace, a narrow one first a probe of whether the page moves
    // the focus on; a row of one-character boxes gets each character once the page has done so.
    ms modifierPoll{20};     // while the hot key that started the fill is still held...
    int modifierPolls = 50;  // ...for at most 1 s
    ms focusPoll{10};        // watching for the focus to move to the next box...
    int focusPolls = 30;     // ...for at most 300 ms per character
    int rowFocusPolls = 100; // ...or 1 s in a row of boxes the page shows (a loaded browser is slow)
    ms boxSettle{25};        // for the page after the focus moved
    // Between presses of characters of one field that the layout holds: keys of one keyboard reach
    // the application in the order they were posted (Firefox and Chromium kept every key posted
    // back to back); an input method (IBus) may reorder keys that come less than a few
    // milliseconds apart.
    ms fieldPace{4};
    // Around a character the layout lacks (a spare key, the input method), which reaches the
    // application another way than the keys: the field is read until it shows every character
    // typed so far...
    ms arrivalPoll{10};
    int arrivalPolls = 30;    // ...for at most 300 ms
    ms unreadFieldSettle{40}; // a field whose text cannot be read gets this wait instead

    // A field that has just taken the focus may not know its frame yet (Firefox, until a client
    // first asks for one): it is asked again this often, this many times.
    ms pendingFramePoll{20};
    int pendingFramePolls = 10;
};

} // namespace tessary
