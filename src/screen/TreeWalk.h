#pragma once

#include "screen/ElementTree.h"

#include <functional>
#include <optional>

namespace tessary {

enum class WalkStep { goOn, stop };

// Visits at most `budget` elements breadth-first from `root` (the root first; a negative budget
// visits nothing), reading each visited element's children. Nothing is remembered between
// elements, so a cyclic tree is walked like an endless one: the budget is what ends the walk, and
// the queue never holds more elements than are left to visit.
void walkBreadthFirst(ElementTree& tree, const Element& root, int budget,
                      const std::function<WalkStep(const Element&)>& visit);

// The same walk with a mark that each element hands down to its children: `visit` is given the mark
// its parent handed down (false for the root) and returns what to do and the mark for its children.
struct MarkedStep {
    WalkStep step = WalkStep::goOn;
    bool mark = false;
};
void walkBreadthFirstMarked(ElementTree& tree, const Element& root, int budget,
                            const std::function<MarkedStep(const Element&, bool mark)>& visit);

// What a static text or heading shows: the text it carries when it has one, else its name.
std::optional<QString> visibleText(ElementTree& tree, const Element& element);

// The host of a URL given as text; none when it does not parse or names no host.
std::optional<QString> urlHost(const QString& url);

} // namespace tessary
