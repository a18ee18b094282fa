#pragma once

#include "server/InboxLeases.h"
#include "server/PostgresDatabase.h"

#include <QHash>

#include <memory>

namespace tessary::server {

// Leases in the tables "instances" (id, address, last seen) and "leases" (inbox, holder, expiry).
// Every time is the database's, so the instances' clocks need not agree; every take is guarded in
// its statement, so two instances never both take one inbox.
class PostgresLeaseBoard : public LeaseBoard {
public:
    explicit PostgresLeaseBoard(std::shared_ptr<PostgresDatabase> database);

    std::optional<QSet<QString>> holdShare(const QString& instance, const QString& address,
                                           std::chrono::milliseconds lifetime) override;
    bool take(const QString& instance, const QString& accountId, std::chrono::milliseconds lifetime) override;
    void leave(const QString& instance) override;
    // Where a live instance is reached, as it last said.
    std::optional<QString> addressOf(const QString& instance);
    // The other instances that are alive, and their addresses, by id.
    QHash<QString, QString> othersThan(const QString& instance);

private:
    std::shared_ptr<PostgresDatabase> m_database;
};

} // namespace tessary::server
