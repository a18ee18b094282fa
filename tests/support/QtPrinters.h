#pragma once

// Readable Qt values in test failures. Included into every test source by the build.

#include <QByteArray>
#include <QString>

#include <optional>
#include <ostream>

inline std::ostream& operator<<(std::ostream& out, const QString& text)
{
    return out << text.toStdString();
}
inline std::ostream& operator<<(std::ostream& out, const QByteArray& bytes)
{
    return out << bytes.toStdString();
}

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
