#pragma once

#include <QCoro/QCoroTask>
#include <QHostAddress>
#include <QList>
#include <QString>

#include <chrono>

namespace tessary::server {

class WakeFlag;

// Whether a mail server at `address` would be on the internet: not on this machine, a private,
// carrier-shared or link-local network (where cloud metadata services answer), nor at an address
// no server has (unspecified, multicast, broadcast).
bool isPublicAddress(QHostAddress address);

// The addresses `name` has, looked up without holding the thread; none when it has none, when the
// deadline passes first or once `stop` is raised.
QCoro::Task<QList<QHostAddress>> lookUpHost(QString name, std::chrono::steady_clock::time_point deadline,
                                            const WakeFlag* stop);

} // namespace tessary::server
