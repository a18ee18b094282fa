#pragma once

#include "screen/Accessibility.h"

#include <optional>

namespace tessary {

// A focused text field that asks for a one-time code.
struct CodeField {
    Element element;
    std::optional<QString> domain; // host of the web page around the field; none outside web content
    std::optional<Rect> frame;     // bottom-left screen coordinates; none when unreadable

    // Classifies the element; none when it is not a code field. Reads at most
    // `codeFieldBudget::maxReads` attributes, whatever the tree (cycles and 10,000-child nodes too).
    static std::optional<CodeField> detect(Accessibility& accessibility, const Element& element);

    friend bool operator==(const CodeField&, const CodeField&) = default;
};

// The field's own description: placeholder, title, description, help, identifiers, DOM classes and
// the text of its label element, joined with spaces. May be empty.
QString fieldLabel(Accessibility& accessibility, const Element& element);

// The static texts and headings around an element: climb `levels` parents (never into the web
// area), then read breadth-first at most `budget` elements.
QString nearbyText(Accessibility& accessibility, const Element& element, int levels, int budget);

// Host of the web page the element sits in: the URL of the nearest "AXWebArea" at most 40 steps up.
std::optional<QString> pageHost(Accessibility& accessibility, const Element& element);

// Reads of each piece, for the bound above and the README.
namespace codeFieldBudget {
inline constexpr int aroundLevels = 2;
inline constexpr int aroundBudget = 30;
inline constexpr int pageHostSteps = 40;
// A parent with more children is a list or a page body, not a row of code boxes; its children's
// roles are not read, which keeps a 10,000-child parent from costing 10,000 reads.
inline constexpr int maxBoxRowChildren = 64;

inline constexpr int labelReads = 9; // six texts, the class list, the label element and its value
inline constexpr int aroundReads = 2 * aroundLevels + 4 * aroundBudget; // role, value, title, children
inline constexpr int siblingReads = 2 + maxBoxRowChildren;              // parent, children, their roles
inline constexpr int pageHostReads = 2 * pageHostSteps;                 // roles, parents, the URL
// Role, subrole, label, value, around, frame, siblings, page host: 283.
inline constexpr int maxReads = 2 + labelReads + 1 + aroundReads + 1 + siblingReads + pageHostReads;
} // namespace codeFieldBudget

} // namespace tessary
