#pragma once

#include "screen/Accessibility.h"

#include <QJsonObject>

namespace tessary {

// Writes a live element tree in the element-tree JSON that fixtures and the fake accessibility
// read: `{"app": {"pid", "bundleId", "appPath"}, "root": node}`, each node with the attributes the
// screen logic reads under the file's names, its frame, "focused" / "window" marks and its children. The walk
// is bounded, so a huge page gives a cut tree ("truncated": true), never a hang.
struct DumpLimits {
    int maxNodes = 5000;
    int maxDepth = 60;
};

QJsonObject dumpTree(Accessibility& accessibility, const Element& root,
                     const std::optional<RunningApplication>& app, const DumpLimits& limits = {});

} // namespace tessary
