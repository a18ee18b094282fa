#pragma once

#include "screen/Accessibility.h"

#include <QRect>

class QAccessibleInterface;

namespace tessary {

// Tessary's own windows (the chip, the popover, settings, onboarding's practice field), read in
// process through Qt's accessibility interfaces. Asking this process over the accessibility bus
// would wait for an answer only the main thread could give, and the main thread is the one
// waiting: a read then stalls until the call times out and comes back empty. The answers are those
// another Qt application's elements give over AT-SPI, so the screen logic cannot tell the
// difference; the elements carry an identity of their own, so each call finds its way back here.
// Our windows hold no web content: no input types, DOM ids, classes or addresses.
class QtOwnAccessibility {
public:
    static qint64 processId();
    // Whether this side made the element.
    static bool owns(const Element& element);

    Role role(const Element& element);
    std::optional<QString> name(const Element& element);
    std::optional<QString> description(const Element& element);
    std::optional<QString> helpText(const Element& element);
    std::optional<QString> placeholder(const Element& element);
    std::optional<QString> accessibleId(const Element& element);
    std::optional<QString> text(const Element& element);
    std::optional<Element> labelledBy(const Element& element);
    std::optional<Element> parent(const Element& element);
    QList<Element> children(const Element& element);
    std::optional<Rect> screenFrame(const Element& element);
    // Where the element sits inside its top-level window's surface (top-left pixels; the surface
    // begins with the title bar Qt draws where the compositor draws none, as GNOME's), and that
    // window's title: what places it on the screen where Qt does not know where its windows are.
    struct PlaceInWindow {
        QRect rect;
        QString windowTitle;
    };
    std::optional<PlaceInWindow> placeInWindow(const Element& element);
    // The focus widget of our active window; none when none of our windows has the focus.
    std::optional<Element> focusedElement();
    std::optional<Element> applicationElement();
    // The window of ours with the focus; none unless `application` is our application element.
    std::optional<Element> focusedWindow(const Element& application);
    void setFocused(const Element& element);
};

} // namespace tessary
