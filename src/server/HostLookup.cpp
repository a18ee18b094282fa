#include "server/HostLookup.h"

#include "server/Wakeup.h"

#include <QHostInfo>

#include <algorithm>
#include <optional>

namespace tessary::server {

using namespace std::chrono;

bool isPublicAddress(QHostAddress address)
{
    bool mapped = false;
    if (const quint32 ipv4 = address.toIPv4Address(&mapped); mapped)
        address = QHostAddress(ipv4); // ::ffff:10.0.0.1 reaches 10.0.0.1
    // NAT64 (64:ff9b::10.0.0.1) and 6to4 (2002:a00:1::) gateways pass on to the IPv4 address inside.
    static const auto nat64 = QHostAddress::parseSubnet(QStringLiteral("64:ff9b::/96"));
    static const auto sixToFour = QHostAddress::parseSubnet(QStringLiteral("2002::/16"));
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    const auto ipv4At = [&bytes](int at) {
        return QHostAddress(quint32(bytes[at]) << 24 | quint32(bytes[at + 1]) << 16 |
                            quint32(bytes[at + 2]) << 8 | bytes[at + 3]);
    };
    if (address.isInSubnet(nat64))
        return isPublicAddress(ipv4At(12));
    if (address.isInSubnet(sixToFour))
        return isPublicAddress(ipv4At(2));
    static const QList<QPair<QHostAddress, int>> privateNetworks = {
        QHostAddress::parseSubnet(QStringLiteral("10.0.0.0/8")),
        QHostAddress::parseSubnet(QStringLiteral("172.16.0.0/12")),
        QHostAddress::parseSubnet(QStringLiteral("192.168.0.0/16")),
        QHostAddress::parseSubnet(QStringLiteral("100.64.0.0/10")),
    };
    return address.isGlobal() && !address.isUniqueLocalUnicast() && !address.isSiteLocal() &&
           std::none_of(privateNetworks.cbegin(), privateNetworks.cend(),
                        [&address](const auto& network) { return address.isInSubnet(network); });
}

QCoro::Task<QList<QHostAddress>> lookUpHost(QString name, steady_clock::time_point deadline,
                                            const WakeFlag* stop)
{
    WakeFlag answered; // receives the answer, so one that comes after this wait ended is dropped
    std::optional<QHostInfo> answer;
    const int lookup = QHostInfo::lookupHost(name, &answered, [&answer, &answered](const QHostInfo& info) {
        answer = info;
        answered.raise();
    });
    while (!answer) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        if ((stop && stop->isRaised()) || left <= milliseconds(0)) {
            QHostInfo::abortHostLookup(lookup);
            co_return {};
        }
        Wakeup wait(stop, left);
        wait.on(&answered, &WakeFlag::raised);
        co_await wait;
    }
    if (answer->error() != QHostInfo::NoError)
        co_return {};
    co_return answer->addresses();
}

} // namespace tessary::server
