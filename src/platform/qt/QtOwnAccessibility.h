#pragma once

#include "screen/Accessibility.h"

#include <QRect>

class QAccessibleInterface;

namespace tessary {

// Tessary's own windows (the chip, the popover, settings, onboarding's practice field), read in
// process through Qt's accessibility interfaces. Asking this process over the accessibility bus
// would wait for an answer only the main thread could give, and the main thread is the one
// waiting: a read then stalls until the call times out and comes back empty. The answers use the
// vocabulary of every other application's elements, so the screen logic cannot tell the
// difference; the elements carry an identity of their own, so each call finds its way back here.
class QtOwnAccessibility {
public:
    static qint64 processId();
    // Whether this side made the element.
    static bool owns(const Element& element);

    std::optional<QString> stringAttribute(const Element& element, const QString& attribute);
    std::optional<Element> elementAttribute(const Element& element, const QString& attribute);
    QList<Element> children(const Element& element);
    std::optional<Rect> screenFrame(const Element& element);
    // Where the element sits inside its top-level window (top-left pixels), and that window's
    // title: what places it on the screen where Qt does not know where its windows are (sway).
    struct PlaceInWindow {
        QRect rect;
        QString windowTitle;
    };
    std::optional<PlaceInWindow> placeInWindow(const Element& element);
    // The focus widget of our active window; none when none of our windows has the focus.
    std::optional<Element> focusedElement();
    std::optional<Element> applicationElement();
    void setFocused(const Element& element);
};

} // namespace tessary
