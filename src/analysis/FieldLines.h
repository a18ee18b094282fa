#pragma once

#include <QStringView>

#include <optional>

namespace tessary {

// The short name before the colon of a "Name: value" line.
struct FieldName {
    qsizetype begin = 0; // where the line, and so the name, begins
    qsizetype end = 0;   // just past its colon
};

// The name of the field whose value begins at `valueStart`, when its line is one of a list of named
// fields: the line before or after it begins with a short name and a colon too ("Distance: 42.5
// km\nCalories: 3120"). A value of such a list belongs to its name.
std::optional<FieldName> listedFieldName(QStringView text, qsizetype valueStart);

} // namespace tessary
