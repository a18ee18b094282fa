#pragma once

#include "screen/ElementTree.h"

#include <optional>

namespace tessary {

// Why an element is or is not a code field: the first rule that decided, in plain words
// ("password field", "label mentions promo", "no code prompt nearby"; matched words in lower case).
// `detect` is built on it; `tessary-inspect field` prints it.
struct FieldVerdict {
    bool accepted = false;
    QString reason;
    std::optional<Rect> frame; // read when the decision needed it
};

FieldVerdict classifyField(ElementTree& tree, const Element& element);

// The row of one-character code boxes the element is one of (four to eight text fields side by
// side, or in groups side by side), in reading order; empty when the page shows no such row.
QList<Element> codeBoxRow(ElementTree& tree, const Element& element);

} // namespace tessary
