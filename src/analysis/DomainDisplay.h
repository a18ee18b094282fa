#pragma once

#include <QString>

namespace tessary {

// A site domain (`siteDomain` form, ASCII) as the user reads it: "xn--bcher-kva.de" shows as
// "bücher.de". A name that could pass for another stays in its ASCII form: a label in one script
// that looks like a plain ASCII name ("аррӏе", Cyrillic), or one mixing scripts ("раураl"), since
// a chip that offers a code or a link must not name one site for another.
QString displayDomain(const QString& domain);

} // namespace tessary
