#pragma once

#include "screen/Element.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace tessary {

// A rectangle in screen pixels with the origin at the top-left corner of the screen layout (which
// need not be a corner of the primary screen) and y growing downward: the space the window system
// places windows in, used end to end from the accessibility reader to the chip.
struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// A running application as the screen logic sees it.
struct RunningApplication {
    qint64 pid = 0;
    QString bundleIdentifier; // desktop-file id ("firefox-esr") or executable name; empty when unknown
    QString bundleURL;        // where the application lives (its desktop file or executable); may be empty
    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

// The operations the screen logic needs from the platform's accessibility interface, in the
// vocabulary every layer above speaks: "AXRole" = "AXTextField", "AXValue", "AXURL", ... No
// operation fails loudly: an unreadable element, a missing attribute, a dead application or a
// time-out reads as none or empty. All calls are made on the main thread.
class Accessibility {
public:
    virtual ~Accessibility() = default;

    // A text attribute; none when missing, unreadable or not text. "AXURL" reads as the URL's text.
    virtual std::optional<QString> stringAttribute(const Element& element, const QString& attribute) = 0;
    // A list-of-texts attribute ("AXDOMClassList"); empty when missing or of another type.
    virtual QStringList stringListAttribute(const Element& element, const QString& attribute) = 0;
    // An element-valued attribute ("AXParent", "AXTitleUIElement", "AXFocusedWindow", ...).
    virtual std::optional<Element> elementAttribute(const Element& element, const QString& attribute) = 0;
    virtual QList<Element> children(const Element& element) = 0;
    // The element's frame on the screen; none when it has no position or size.
    virtual std::optional<Rect> screenFrame(const Element& element) = 0;

    // True while a field that has just taken the focus does not know its frame yet (Firefox, until
    // a client first asks for one); waitForFrame asks again for a moment.
    virtual bool framePending(const Element& element) = 0;
    // Counts the web pages that have finished loading: a page that focuses its code field while it
    // loads may show the field as it is only afterwards, so the focus loop classifies it again.
    virtual quint64 documentLoads() = 0;
    // The element with the keyboard focus in the frontmost application. Cheap: called every tick.
    virtual std::optional<Element> focusedElement() = 0;
    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    // The application element of a process: the root its windows hang under.
    virtual std::optional<Element> applicationElement(qint64 pid) = 0;
    // The process an element belongs to; 0 when unknown.
    virtual qint64 processId(const Element& element) = 0;

    // Asks for the keyboard focus to move to the element (result ignored, as with every write).
    virtual void setFocused(const Element& element) = 0;
    // Makes an application expose its content to the accessibility interface.
    virtual void prepareAccessibility(const RunningApplication& application) = 0;
    // Whether the user has granted (enabled) accessibility access for this session.
    virtual bool isTrusted() = 0;
    // The same question without waiting for the answer: `answer` runs on the main thread once,
    // possibly before this returns; a service that hangs answers false after its time-out.
    virtual void checkTrusted(std::function<void(bool)> answer) = 0;
};

} // namespace tessary
