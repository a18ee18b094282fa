#include "engine/BurstLog.h"

#include <QSet>

namespace tessary {

Q_LOGGING_CATEGORY(burstLog, TESSARY_APP_ID ".burst", QtInfoMsg)

QString inboxName(const std::optional<QString>& messageId, const QList<Account>& accounts)
{
    QSet<QString> activeProviders;
    for (const Account& account : accounts) {
        if (messageId && messageId->startsWith(account.id + QLatin1Char('.')))
            return account.providerName();
        if (account.isActive())
            activeProviders.insert(account.provider);
    }
    if (activeProviders.size() == 1)
        return providerDisplayName(*activeProviders.begin());
    return QStringLiteral("inbox");
}

} // namespace tessary
