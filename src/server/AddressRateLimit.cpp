#include "server/AddressRateLimit.h"

#include <boost/asio/ip/address.hpp>

#include <algorithm>

namespace tessary::server {

namespace {

namespace ip = boost::asio::ip;

// Clients remembered at once; beyond them those whose turns have all come back are forgotten,
// and if that is not enough, all are: memory stays bounded whatever the number of addresses.
constexpr std::size_t maxClients = 65536;

std::optional<ip::address> parsed(const std::string& text)
{
    boost::system::error_code invalid;
    ip::address address = ip::make_address(text, invalid);
    if (invalid)
        return std::nullopt;
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        return ip::make_address_v4(ip::v4_mapped, address.to_v6());
    return address;
}

// The key a client counts under: an IPv4 address, an IPv6 address's /64, or else the text itself;
// nothing for this machine.
std::optional<std::string> clientKey(const std::string& client)
{
    const std::optional<ip::address> address = parsed(client);
    if (!address)
        return client;
    if (address->is_loopback())
        return std::nullopt;
    if (address->is_v4())
        return address->to_string();
    ip::address_v6::bytes_type bytes = address->to_v6().to_bytes();
    std::fill(bytes.begin() + 8, bytes.end(), 0);
    return ip::address_v6(bytes).to_string() + "/64";
}

std::string trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

} // namespace

AddressRateLimit::AddressRateLimit(int perHour)
    : m_perHour(perHour)
    , m_turn(perHour > 0 ? Clock::duration(std::chrono::hours(1)) / perHour : Clock::duration::zero())
{
}

std::optional<std::chrono::seconds> AddressRateLimit::take(const std::string& client, Clock::time_point now)
{
    const std::optional<std::string> key = clientKey(client);
    if (m_perHour <= 0 || !key)
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    if (m_clients.size() >= maxClients && !m_clients.contains(*key)) {
        std::erase_if(m_clients, [now](const auto& entry) { return entry.second <= now; });
        if (m_clients.size() >= maxClients)
            m_clients.clear();
    }
    Clock::time_point& allBack = m_clients.try_emplace(*key, now).first->second;
    allBack = std::max(allBack, now);
    // With a turn left, every turn is back at most the other turns' worth from now.
    const Clock::duration early = allBack - now - (m_perHour - 1) * m_turn;
    if (early > Clock::duration::zero())
        return std::chrono::ceil<std::chrono::seconds>(early);
    allBack += m_turn;
    return std::nullopt;
}

std::string clientAddress(const HttpRequest& request)
{
    const std::optional<ip::address> peer = parsed(request.peer);
    const std::string forwarded = request.header("X-Forwarded-For");
    if (!peer || !peer->is_loopback() || forwarded.empty())
        return request.peer;
    const std::string last = trimmed(std::string_view(forwarded).substr(forwarded.rfind(',') + 1));
    return last.empty() ? request.peer : last;
}

} // namespace tessary::server
