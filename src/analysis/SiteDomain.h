#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace tessary {

// A host, URL or address reduced to the lower-case name its owner registered: the unit in which
// senders and sites are compared. "https://accounts.example.com/login" gives "example.com",
// "accounts.shop.co.uk" gives "shop.co.uk" (one label under the longest suffix a country or
// registry hands out, by the public suffix list); a port stays on the last label. A name in another
// script is given in ASCII, as mail headers give it: "bücher.de" gives "xn--bcher-kva.de".
QString siteDomain(const QString& text);

// The site domain of a sender's address: "Shop <no-reply@mail.shop.com>" and "no-reply@shop.com"
// both give "shop.com".
QString senderSiteDomain(const QString& sender);

// Services whose mail comes from another domain than their site: site domain -> sender domains
// accepted besides it. Keys and values are in `siteDomain` form.
const QHash<QString, QStringList>& domainAliases();

// The site domains of the given hosts plus their aliases (aliases are not expanded again).
QSet<QString> expandDomains(const QStringList& domains);

} // namespace tessary
