#include "tools/JsonLine.h"

#include "screen/Accessibility.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace tessary::inspect {

namespace {
QString valueText(const QJsonValue& value)
{
    if (value.isArray()) {
        QStringList entries;
        for (const QJsonValue& entry : value.toArray())
            entries.append(valueText(entry));
        return QLatin1Char('[') + entries.join(QStringLiteral(", ")) + QLatin1Char(']');
    }
    // The writer takes only documents: wrap the value in an array and take it back out.
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}
} // namespace

QString jsonLine(const QList<std::pair<QString, QJsonValue>>& fields)
{
    QStringList parts;
    for (const auto& [key, value] : fields)
        parts.append(valueText(key) + QStringLiteral(": ") + valueText(value));
    return QLatin1Char('{') + parts.join(QStringLiteral(", ")) + QLatin1Char('}');
}

QJsonValue rectJson(const std::optional<Rect>& rect)
{
    if (!rect)
        return QJsonValue::Null;
    return QJsonArray{rect->x, rect->y, rect->width, rect->height};
}

QJsonValue optionalJson(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

} // namespace tessary::inspect
