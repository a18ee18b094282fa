#include "platform/kwin/KwinWindow.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tessary {

namespace {

std::optional<atspi::Extents> extentsOf(const QJsonValue& value)
{
    const QJsonArray numbers = value.toArray();
    if (numbers.size() != 4)
        return std::nullopt;
    for (const QJsonValue& number : numbers) {
        if (!number.isDouble())
            return std::nullopt;
    }
    // KWin keeps geometry as reals, fractional under a fractional scale.
    const auto pixels = [&](int i) { return qRound(numbers[i].toDouble()); };
    return atspi::Extents{pixels(0), pixels(1), pixels(2), pixels(3)};
}

} // namespace

std::optional<KwinWindow> parseKwinWindow(const QString& report)
{
    const QJsonObject object = QJsonDocument::fromJson(report.toUtf8()).object();
    const qint64 pid = object.value(QLatin1String("pid")).toInteger();
    const std::optional<atspi::Extents> frame = extentsOf(object.value(QLatin1String("frame")));
    const std::optional<atspi::Extents> buffer = extentsOf(object.value(QLatin1String("buffer")));
    if (pid <= 0 || !frame || !buffer)
        return std::nullopt;
    return KwinWindow{pid, object.value(QLatin1String("resourceClass")).toString(), *frame, *buffer};
}

} // namespace tessary
