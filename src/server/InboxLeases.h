#pragma once

#include <QSet>
#include <QString>

#include <chrono>
#include <optional>

namespace tessary::server {

// How the instances of one database share out the inboxes. A lease outlives its last renewal by
// `lifetime`, so the inboxes of an instance that died are watched again by the others within
// `lifetime` + `renewEvery` (12 s at these values).
struct LeaseTimings {
    std::chrono::milliseconds renewEvery = std::chrono::seconds(3);
    std::chrono::milliseconds lifetime = std::chrono::seconds(9);
};

// The leases of the inboxes in the shared database: each inbox is watched by the one instance
// that holds its lease, and the live instances hold about as many each.
class LeaseBoard {
public:
    virtual ~LeaseBoard() = default;
    // One round for `instance`: it is marked alive (reachable at `address`), renews the leases it
    // holds, gives back those beyond its fair share (the active inboxes over the live instances)
    // and takes free or expired ones up to that share. The inboxes it holds afterwards; nothing
    // when the database could not be asked.
    virtual std::optional<QSet<QString>> holdShare(const QString& instance, const QString& address,
                                                   std::chrono::milliseconds lifetime) = 0;
    // Takes an inbox's lease now, from whoever held it: an inbox just added or given a new
    // password is watched by the instance that heard of it. False when the database could not be asked.
    virtual bool take(const QString& instance, const QString& accountId,
                      std::chrono::milliseconds lifetime) = 0;
    // Gives back every lease and leaves the live instances: a clean stop, so the others take over
    // at their next round instead of waiting for the leases to run out.
    virtual void leave(const QString& instance) = 0;
};

} // namespace tessary::server
