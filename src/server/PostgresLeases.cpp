#include "server/PostgresLeases.h"

#include <QStringList>

namespace tessary::server {

namespace {

QByteArray intervalSeconds(std::chrono::milliseconds span)
{
    return QByteArray::number(double(span.count()) / 1000.0);
}

// An array parameter of ids (UUIDs: nothing in them needs quoting).
QByteArray idArray(const QStringList& ids)
{
    return ("{" + ids.join(QLatin1Char(',')) + "}").toUtf8();
}

QSet<QString> firstColumn(const PostgresDatabase::Rows& rows)
{
    QSet<QString> ids;
    for (int row = 0; row < rows.count(); ++row)
        ids.insert(rows.text(row, 0));
    return ids;
}

} // namespace

PostgresLeaseBoard::PostgresLeaseBoard(std::shared_ptr<PostgresDatabase> database)
    : m_database(std::move(database))
{
}

std::optional<QSet<QString>> PostgresLeaseBoard::holdShare(const QString& instance, const QString& address,
                                                           std::chrono::milliseconds lifetime)
{
    const QByteArray id = instance.toUtf8();
    const QByteArray span = intervalSeconds(lifetime);
    if (!m_database->query("INSERT INTO instances (id, address, seen_at) VALUES ($1, $2, now()) "
                           "ON CONFLICT (id) DO UPDATE SET address = $2, seen_at = now()",
                           {id, address.toUtf8()}))
        return std::nullopt;
    // An instance not seen for a lease's lifetime is gone; its row would count it in every share.
    m_database->query("DELETE FROM instances WHERE seen_at < now() - make_interval(secs => $1)", {span});
    const auto renewed = m_database->query("UPDATE leases SET expires_at = now() + make_interval(secs => $2) "
                                           "WHERE holder = $1 RETURNING account_id",
                                           {id, span});
    const auto counts = m_database->query(
        "SELECT (SELECT count(*) FROM accounts WHERE status = 'active'), "
        "(SELECT count(*) FROM instances WHERE seen_at >= now() - make_interval(secs => $1))",
        {span});
    if (!renewed || !counts)
        return std::nullopt;
    QSet<QString> held = firstColumn(*renewed);
    const qsizetype inboxes = counts->text(0, 0).toLongLong();
    const qsizetype instances = std::max<qsizetype>(1, counts->text(0, 1).toLongLong());
    const qsizetype share = (inboxes + instances - 1) / instances;
    if (held.size() > share) {
        // The surplus goes back at once: the instance that started last has room for it.
        const QStringList surplus = QStringList(held.begin(), held.end()).mid(share);
        if (m_database->query("DELETE FROM leases WHERE holder = $1 AND account_id = ANY($2::text[])",
                              {id, idArray(surplus)}))
            for (const QString& given : surplus)
                held.remove(given);
    } else if (held.size() < share) {
        // Free inboxes, or those whose holder stopped renewing; the guard on the update keeps a
        // lease another instance renewed or took meanwhile.
        const auto taken = m_database->query(
            "INSERT INTO leases (account_id, holder, expires_at) "
            "SELECT a.id, $1, now() + make_interval(secs => $2) FROM accounts a WHERE a.status = 'active' "
            "AND NOT EXISTS (SELECT 1 FROM leases l WHERE l.account_id = a.id AND l.expires_at > now()) "
            "ORDER BY random() LIMIT $3 "
            "ON CONFLICT (account_id) DO UPDATE SET holder = EXCLUDED.holder, expires_at = "
            "EXCLUDED.expires_at "
            "WHERE leases.expires_at <= now() RETURNING account_id",
            {id, span, QByteArray::number(share - held.size())});
        if (taken)
            held.unite(firstColumn(*taken));
    }
    return held;
}

bool PostgresLeaseBoard::take(const QString& instance, const QString& accountId,
                              std::chrono::milliseconds lifetime)
{
    return bool(m_database->query(
        "INSERT INTO leases (account_id, holder, expires_at) VALUES ($2, $1, now() + make_interval(secs => "
        "$3)) "
        "ON CONFLICT (account_id) DO UPDATE SET holder = EXCLUDED.holder, expires_at = EXCLUDED.expires_at",
        {instance.toUtf8(), accountId.toUtf8(), intervalSeconds(lifetime)}));
}

void PostgresLeaseBoard::leave(const QString& instance)
{
    m_database->query("DELETE FROM leases WHERE holder = $1", {instance.toUtf8()});
    m_database->query("DELETE FROM instances WHERE id = $1", {instance.toUtf8()});
}

std::optional<QString> PostgresLeaseBoard::addressOf(const QString& instance)
{
    const auto found = m_database->query("SELECT address FROM instances WHERE id = $1", {instance.toUtf8()});
    if (!found || found->count() != 1)
        return std::nullopt;
    return found->text(0, 0);
}

QHash<QString, QString> PostgresLeaseBoard::othersThan(const QString& instance)
{
    const auto found =
        m_database->query("SELECT id, address FROM instances WHERE id <> $1", {instance.toUtf8()});
    QHash<QString, QString> others;
    for (int row = 0; found && row < found->count(); ++row)
        others.insert(found->text(row, 0), found->text(row, 1));
    return others;
}

} // namespace tessary::server
