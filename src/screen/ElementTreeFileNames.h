#pragma once

#include "screen/Role.h"

#include <QString>

namespace tessary::treefile {

// The names element-tree files use, shared by their reader (ElementTreeFile) and their writer
// (dumpTree). The format keeps the names of the first recordings, so every file recorded since,
// in the repository or outside it, keeps loading; nothing but the file reader and writer sees them.

inline const QString roleKey = QStringLiteral("AXRole");
inline const QString subroleKey = QStringLiteral("AXSubrole");
inline const QString valueKey = QStringLiteral("AXValue");
inline const QString titleKey = QStringLiteral("AXTitle");
inline const QString placeholderKey = QStringLiteral("AXPlaceholderValue");
inline const QString descriptionKey = QStringLiteral("AXDescription");
inline const QString helpKey = QStringLiteral("AXHelp");
inline const QString identifierKey = QStringLiteral("AXIdentifier");
inline const QString domIdentifierKey = QStringLiteral("AXDOMIdentifier");
inline const QString domClassesKey = QStringLiteral("AXDOMClassList");
inline const QString urlKey = QStringLiteral("AXURL");
inline const QString titleElementKey = QStringLiteral("AXTitleUIElement");
inline const QString parentKey = QStringLiteral("AXParent");
// A web input's type ("email", "tel"), written when no subrole stands for it as one does for search.
inline const QString inputTypeKey = QStringLiteral("inputType");
// Reads that have no attribute of their own in a file, named for the read counts.
inline const QString childrenKey = QStringLiteral("AXChildren");
inline const QString focusedWindowKey = QStringLiteral("AXFocusedWindow");
inline const QString frameKey = QStringLiteral("frame");

// Subroles of a text field.
inline const QString passwordSubrole = QStringLiteral("AXSecureTextField");
inline const QString searchSubrole = QStringLiteral("AXSearchField");
// The input type a search field has.
inline const QString searchInputType = QStringLiteral("search");

// A file's role (with its subrole) as a Role; Role::other for a name none stands for.
Role roleOf(const QString& name, const QString& subrole);
// The name a role is written under; empty for Role::invalid, which is not written.
QString nameOf(Role role);
// The subrole written beside it: password and search fields have one.
QString subroleOf(Role role, const QString& inputType);

} // namespace tessary::treefile
