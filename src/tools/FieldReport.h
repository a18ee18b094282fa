#pragma once

#include "screen/Accessibility.h"

namespace tessary::inspect {

// The one-line verdict of `field` and `focus` on an element: {"codeField": true, "domain", "frame",
// "label", "around"} or {"codeField": false, "label", "around", "reason"}.
QString fieldReport(Accessibility& accessibility, const Element& element);

} // namespace tessary::inspect
