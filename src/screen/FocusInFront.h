#pragma once

#include "screen/Element.h"

#include <QString>

#include <optional>

namespace tessary {

// A running application as the screen logic sees it.
struct RunningApplication {
    qint64 pid = 0;
    QString appId;   // desktop-file id ("firefox-esr") or executable name; empty when unknown
    QString appPath; // where the application lives (its desktop file or executable); may be empty
    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

// The application in front, its window with the focus and the element with the keyboard focus.
// Main thread only.
class FocusInFront {
public:
    virtual ~FocusInFront() = default;

    // The element with the keyboard focus in the frontmost application. Cheap: called every tick.
    virtual std::optional<Element> focusedElement() = 0;
    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    // The application element of a process: the root its windows hang under.
    virtual std::optional<Element> applicationElement(qint64 pid) = 0;
    // The application's window that is active (has the focus).
    virtual std::optional<Element> focusedWindow(const Element& application) = 0;
    // Counts the web pages that have finished loading: a page that focuses its code field while it
    // loads may show the field as it is only afterwards, so the focus loop classifies it again.
    virtual quint64 documentLoads() = 0;
    // Asks for the keyboard focus to move to the element (result ignored, as with every write).
    virtual void setFocused(const Element& element) = 0;
};

} // namespace tessary
