#pragma once

#include "screen/Role.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tessary::atspi {

// How what AT-SPI reports of a node reads as the screen logic's roles. Pure functions over what a
// node reports, so the mapping is checked without a desktop.

// What one node reports, as far as the mapping needs it.
struct NodeFacts {
    int role = 0;           // AtspiRole
    bool multiLine = false; // STATE_MULTI_LINE
    bool editable = false;  // STATE_EDITABLE
    QString tag;            // object attribute "tag" (web content)
    QString inputType;      // object attribute "text-input-type" (web content)
};

// What a node is to the screen logic, before its text is known.
enum class Kind {
    textField,   // Role::entry or Role::passwordText
    textArea,    // Role::text
    webArea,     // Role::documentWeb
    heading,     // Role::heading
    textCarrier, // Role::staticText when it holds text of its own, else Role::section
    window,      // Role::frame
    application, // Role::application
    other,       // buttons, lists, ...: see roleOf
};

Kind kindOf(const NodeFacts& facts);
// Which facts beyond its role decide how a node of that role reads: states only for editors,
// object attributes only for editors and spin buttons. Every other node, most of a walk, is
// known from its role alone, and each fact not read is a round trip into the application saved.
bool statesMatter(int role);
bool attributesMatter(int role);
// The node's role; `ownText` says whether a text carrier holds text itself.
Role roleOf(const NodeFacts& facts, bool ownText);
// What a text field is for ("search"), as its page says; empty for every other node.
QString inputTypeOf(const NodeFacts& facts);

// A node's extents as the application reports them, in top-left screen pixels.
struct Extents {
    int x = 0, y = 0, width = 0, height = 0;
};
// Whether they describe a frame on screen: -1 sizes, 0 × 0 and Chromium's INT_MIN position of a
// view that is not shown do not.
bool isFrame(const Extents& extents);
// Firefox reports -1 × -1 for an element whose layout has not reached its parent process yet, as
// a field does in the instant it takes the focus; a moment later it has its frame.
bool isFramePending(const Extents& extents);

// A field's value: browsers pad empty editors with U+FEFF, which is not text the user typed.
QString fieldValue(const QString& text);
// The text a node holds itself: each child embedded in it stands as U+FFFC and carries its own
// text, so dropping the marks keeps every piece of text exactly once in a walk of the tree.
QString ownText(const QString& text);
// Firefox stands every child of a paragraph in the paragraph's text as U+FFFC and exposes inline
// markup (<strong>, <em>, <code>) as static-text children; Chromium keeps its static-text children
// out of the marks. Whether the marks stand for the children one by one, as in Firefox.
bool marksEveryChild(const QString& text, int childCount);
// The paragraph's sentence whole: each mark replaced, in order, by the text of its child when that
// child is inline markup (`inlineTexts` entry present), dropped otherwise.
QString withInlineChildren(const QString& text, const QList<std::optional<QString>>& inlineTexts);
// A DOM class attribute as its list of class names.
QStringList classList(const QString& classAttribute);

} // namespace tessary::atspi
