#pragma once

#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>

namespace tessary {
struct Rect;
}

namespace tessary::inspect {

// One JSON object on one line with its keys in the order given ({"codeField": true, "domain": …}),
// for commands whose output lists its fields in a fixed order.
QString jsonLine(const QList<std::pair<QString, QJsonValue>>& fields);

// [x, y, width, height], or null.
QJsonValue rectJson(const std::optional<Rect>& rect);
// The text, or null.
QJsonValue optionalJson(const std::optional<QString>& text);

} // namespace tessary::inspect
