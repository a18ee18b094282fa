#include "analysis/FoundLink.h"

namespace tessary {

QString kindName(FoundLink::Kind kind)
{
    return kind == FoundLink::Kind::signIn ? QStringLiteral("signIn") : QStringLiteral("confirm");
}

std::optional<FoundLink::Kind> kindFromName(QStringView name)
{
    if (name == QLatin1String("signIn"))
        return FoundLink::Kind::signIn;
    if (name == QLatin1String("confirm"))
        return FoundLink::Kind::confirm;
    return std::nullopt;
}

} // namespace tessary
