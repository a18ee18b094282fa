#pragma once

#include "screen/Element.h"
#include "screen/Rect.h"
#include "screen/Role.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tessary {

// Reads of the elements of other applications (and of our own windows): typed, one read per
// call, each possibly a call into another process. No read fails loudly: an unreadable element, a
// missing value, a dead application or a time-out reads as none, empty or Role::invalid. Main
// thread only.
class ElementTree {
public:
    virtual ~ElementTree() = default;

    virtual Role role(const Element& element) = 0;
    // What a web input is for, as the page's type attribute says ("search", "email"); empty when
    // the element is no web input.
    virtual QString inputType(const Element& element) = 0;
    // The accessible name: a field's label, a button's title, a heading's text.
    virtual std::optional<QString> name(const Element& element) = 0;
    virtual std::optional<QString> description(const Element& element) = 0;
    // A tooltip-like help text (Qt widgets have one; web content does not).
    virtual std::optional<QString> helpText(const Element& element) = 0;
    virtual std::optional<QString> placeholder(const Element& element) = 0;
    // The id the toolkit gives the element (Qt: its object name).
    virtual std::optional<QString> accessibleId(const Element& element) = 0;
    // The web element's id attribute and class names.
    virtual std::optional<QString> domId(const Element& element) = 0;
    virtual QStringList domClasses(const Element& element) = 0;
    // What a field holds (the empty text for an empty field), or the text a static text or heading
    // carries; none for elements without text.
    virtual std::optional<QString> text(const Element& element) = 0;
    // The address of a web page (Role::documentWeb); none for any other element.
    virtual std::optional<QString> documentUrl(const Element& element) = 0;
    // The element that labels this one (the labelled-by relation).
    virtual std::optional<Element> labelledBy(const Element& element) = 0;
    // None above an application.
    virtual std::optional<Element> parent(const Element& element) = 0;
    virtual QList<Element> children(const Element& element) = 0;
    // The element's frame on the screen; none when it has no position or size.
    virtual std::optional<Rect> screenFrame(const Element& element) = 0;
    // True while a field that has just taken the focus does not know its frame yet (Firefox, until
    // a client first asks for one); waitForFrame asks again for a moment.
    virtual bool framePending(const Element& element) = 0;
    // The process an element belongs to; 0 when unknown.
    virtual qint64 processId(const Element& element) = 0;
};

} // namespace tessary
