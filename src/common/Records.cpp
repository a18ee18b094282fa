#include "common/Records.h"

namespace tessary {

QString providerDisplayName(const QString& provider)
{
    if (provider == QLatin1String("gmail"))
        return QStringLiteral("Gmail");
    if (provider == QLatin1String("outlook"))
        return QStringLiteral("Outlook");
    if (provider == QLatin1String("imap"))
        return QStringLiteral("IMAP");
    return provider;
}

} // namespace tessary
