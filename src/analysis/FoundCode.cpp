#include "analysis/FoundCode.h"

#include "analysis/DomainDisplay.h"

#include <algorithm>

namespace tessary {

QString FoundCode::origin() const
{
    return phone ? QStringLiteral("SMS on ") + *phone : displayDomain(senderDomain);
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
