#pragma once

#include "screen/ElementTreeFile.h"

namespace tessary::test {

// The tests' accessibility is the product's element-tree reader: a tree recorded from a real
// application, or one a test builds, with every read counted and the focus and the frontmost
// application open for the test to set.
using FakeAccessibility = ElementTreeFile;

} // namespace tessary::test
