#include "backend/RecordDecoding.h"

namespace tessary::decoding {

BackendError decodingError(const QString& field, const QString& problem)
{
    return {0, QStringLiteral("The server's reply could not be read: %1 %2.").arg(field, problem)};
}

QString fieldPath(const QString& where, const QString& key)
{
    return where.isEmpty() ? key : where + QLatin1Char('.') + key;
}

BackendResult<QJsonObject> requireObject(const QJsonValue& value, const QString& where)
{
    if (!value.isObject())
        return Unexpected{decodingError(where.isEmpty() ? QStringLiteral("the reply") : where,
                                        QStringLiteral("is not an object"))};
    return value.toObject();
}

BackendResult<QJsonArray> requireArray(const QJsonObject& object, const QString& where, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return Unexpected{decodingError(fieldPath(where, key), QStringLiteral("is missing"))};
    if (!value.isArray())
        return Unexpected{decodingError(fieldPath(where, key), QStringLiteral("is not an array"))};
    return value.toArray();
}

BackendResult<QString> requireString(const QJsonObject& object, const QString& where, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return Unexpected{decodingError(fieldPath(where, key), QStringLiteral("is missing"))};
    if (!value.isString())
        return Unexpected{decodingError(fieldPath(where, key), QStringLiteral("is not a string"))};
    return value.toString();
}

BackendResult<std::optional<QString>> optionalString(const QJsonObject& object, const QString& where,
                                                     const QString& key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::optional<QString>{};
    if (!value.isString())
        return Unexpected{decodingError(fieldPath(where, key), QStringLiteral("is not a string"))};
    return std::optional<QString>{value.toString()};
}

} // namespace tessary::decoding
