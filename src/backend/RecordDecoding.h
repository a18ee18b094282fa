#pragma once

#include "common/BackendError.h"

#include <QJsonArray>
#include <QJsonObject>

#include <optional>

namespace tessary::decoding {

// The building blocks of strict record decoding. `where` names the value inside the reply
// ("messages[2]") and every failure names the field it is about.

BackendError decodingError(const QString& field, const QString& problem);
QString fieldPath(const QString& where, const QString& key);

BackendResult<QJsonObject> requireObject(const QJsonValue& value, const QString& where);
BackendResult<QJsonArray> requireArray(const QJsonObject& object, const QString& where, const QString& key);
BackendResult<QString> requireString(const QJsonObject& object, const QString& where, const QString& key);
BackendResult<std::optional<QString>> optionalString(const QJsonObject& object, const QString& where,
                                                     const QString& key);

} // namespace tessary::decoding
