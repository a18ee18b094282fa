#pragma once

#include "server/HttpMessage.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace tessary::server {

// How often one client may do something that leaves a lasting row behind (register a computer):
// `perHour` turns at once, then one more every hour ÷ `perHour`. An IPv6 client counts by its /64,
// the network one host is handed, so walking through its addresses gains no turns. This machine
// itself (a loopback address) is never limited. Safe to call from any thread.
class AddressRateLimit {
public:
    using Clock = std::chrono::steady_clock;

    explicit AddressRateLimit(int perHour); // 0 or less: no limit

    // Takes one of `client`'s turns: nothing when there was one, else how long until the next.
    std::optional<std::chrono::seconds> take(const std::string& client, Clock::time_point now = Clock::now());

private:
    const int m_perHour;
    const Clock::duration m_turn; // how long one turn takes to come back
    std::mutex m_mutex;
    // Per client, when all its turns will be back; it has one left while that is less than
    // perHour - 1 turns away.
    std::unordered_map<std::string, Clock::time_point> m_clients;
};

// Where a request came from: the connection's peer, or, when the peer is this machine (the proxy
// in front of the instances), the last address the proxy added to X-Forwarded-For.
std::string clientAddress(const HttpRequest& request);

} // namespace tessary::server
