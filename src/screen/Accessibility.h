#pragma once

#include "screen/AccessPermission.h"
#include "screen/ElementTree.h"
#include "screen/FocusInFront.h"

namespace tessary {

// The platform's accessibility interface whole: the element tree, the focus and window in front,
// and the permission. Each user takes the part it needs; the engine, which needs all three, takes
// this.
class Accessibility : public ElementTree, public FocusInFront, public AccessPermission {};

} // namespace tessary
