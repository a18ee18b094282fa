#pragma once

namespace tessary {

// What an element is, named as AT-SPI names it, as far as detection and the link-page logic tell
// elements apart. The reader of each platform decides: an editable line of text is an entry
// whatever the toolkit calls it, and an element that carries text on a page is static text.
enum class Role {
    invalid,      // no role: the element is gone or does not answer, or a recorded node names none
    application,  // the root a process's windows hang under
    frame,        // a top-level window (frame, window or dialog)
    documentWeb,  // a web page, or a frame inside one
    heading,      // a heading; its text is its name or what it holds
    entry,        // a single-line text field, <input type="number"> included (a spin button)
    passwordText, // a single-line text field whose text is hidden
    text,         // editable text of several lines: a text area
    staticText,   // text on a page: a paragraph, label or section that holds text of its own
    section,      // a container holding other elements, or an element none of these names
    list,
    pushButton,
    checkBox,
    radioButton,
    comboBox,
    image,
    table,
    scrollPane,
    menuBar,
    toolBar,
    other, // a role a recorded tree names that is none of these
};

// A field a single line of text is typed into: where a code may go, or a password.
inline bool isTextField(Role role)
{
    return role == Role::entry || role == Role::passwordText;
}

} // namespace tessary
