#include "analysis/FoundCode.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace tessary {

namespace {

QString shortestDecimal(double value)
{
    std::array<char, 64> buffer{};
    const auto [end, error] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed);
    QString text = error == std::errc() ? QString::fromLatin1(buffer.data(), end - buffer.data())
                                        : QString::number(value);
    if (!text.contains(QLatin1Char('.')))
        text += QLatin1String(".0");
    return text;
}

} // namespace

QString FoundCode::listIdentity() const
{
    return code + QLatin1Char('@') + shortestDecimal(received);
}

QString FoundCode::origin() const
{
    return phone ? QStringLiteral("SMS on ") + *phone : senderDomain;
}

QString FoundCode::display() const
{
    const qsizetype length = code.size();
    const bool allNumeric = std::all_of(code.begin(), code.end(), [](QChar c) { return c.isNumber(); });
    if (!allNumeric || length < 6)
        return code;
    return code.left(length / 2) + QLatin1Char(' ') + code.mid(length / 2);
}

} // namespace tessary
