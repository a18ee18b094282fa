#pragma once

#include "screen/ElementTree.h"

#include <QStringList>

#include <optional>

namespace tessary {

// A focused text field that asks for a one-time code.
struct CodeField {
    Element element;
    std::optional<QString> domain; // host of the web page around the field; none outside web content
    std::optional<Rect> frame;     // none when unreadable

    // Classifies the element; none when it is not a code field. Reads at most
    // `codeFieldBudget::maxReads` attributes, whatever the tree (cycles and 10,000-child nodes too).
    static std::optional<CodeField> detect(ElementTree& tree, const Element& element);

    friend bool operator==(const CodeField&, const CodeField&) = default;
};

// The field's own description: placeholder, title, description, help, identifiers, DOM classes and
// the text of its label element, joined with spaces. May be empty.
QString fieldLabel(ElementTree& tree, const Element& element);

// The same texts kept apart by what they say about the field (each list in reading order).
struct FieldLabelParts {
    QStringList placeholder;
    QStringList title;
    QStringList description;  // description and help: often a sentence on where the code went
    QStringList identifiers;  // accessibility id, DOM id and classes: names made for code, not people
    QStringList labelElement; // the text of the label element
    QString joined() const;   // fieldLabel
    // Placeholder, title and label element: what the field asks for.
    QString asking() const;
    // Everything but the identifiers: what a reader of the page sees.
    QString forPeople() const;
};
FieldLabelParts fieldLabelParts(ElementTree& tree, const Element& element);

// The static texts and headings around an element: climb `levels` parents (never into the web
// area), then read breadth-first at most `budget` elements.
QString nearbyText(ElementTree& tree, const Element& element, int levels, int budget);

// Host of the web page the element sits in: the address of the nearest web page at most 40 steps up
// that has a host. A frame without an address of its own (a payment challenge written into an
// iframe) takes the host of the page that holds it.
std::optional<QString> pageHost(ElementTree& tree, const Element& element);

// Reads of each piece, for the bound above and the README.
namespace codeFieldBudget {
// Component libraries nest a prompt one or two levels deeper than plain markup does.
inline constexpr int aroundLevels = 4;
inline constexpr int aroundBudget = 60;
// A form that stands straight on the page: the texts just before it there are its prompt. Each of
// those elements is read with a few of its own (Chromium hands a paragraph's text to children).
inline constexpr int promptSiblings = 3;
inline constexpr int promptSiblingBudget = 4;
inline constexpr int pageHostSteps = 40;
// Web areas whose address is read on the way up: the field's frame and the pages around it.
inline constexpr int pageHostFrames = 3;
// A row of code boxes split into groups (three, a dash, three): at most this many wrappers beside
// the field's own included are opened, each of at most `maxGroupBoxes` boxes, among at most
// `maxRowChildren` children of the row.
inline constexpr int maxRowGroups = 4;
inline constexpr int maxRowChildren = 16;
inline constexpr int maxGroupBoxes = 8;
// A parent with more children is a list or a page body, not a row of code boxes; its children's
// roles are not read, which keeps a 10,000-child parent from costing 10,000 reads.
inline constexpr int maxBoxRowChildren = 64;

inline constexpr int labelReads = 9; // six texts, the class list, the label element and its value
// Role, value, title and children of each element around, and of the elements before the form.
inline constexpr int aroundReads =
    2 * aroundLevels + 4 * aroundBudget + 1 + 4 * promptSiblings * promptSiblingBudget;
inline constexpr int siblingReads = 2 + maxBoxRowChildren; // parent, children, their roles
// The row (the parent's parent), its role and children, their roles, and each wrapper's children and
// their roles.
inline constexpr int rowReads = 3 + maxRowChildren + maxRowGroups * (1 + maxGroupBoxes);
inline constexpr int pageHostReads = 2 * pageHostSteps - 1 + pageHostFrames; // roles, parents, URLs
// The frame of each box of the two rows looked at (the field's group and the row around it), each of
// at most eight.
inline constexpr int boxFrameReads = 2 * 8;
// Role, input type, label, value, around, frame, siblings and row, page host: 529.
inline constexpr int maxReads =
    2 + labelReads + 1 + aroundReads + 1 + siblingReads + rowReads + boxFrameReads + pageHostReads;
} // namespace codeFieldBudget

} // namespace tessary
