#pragma once

#include "common/Records.h"

#include <QList>
#include <QString>

namespace tessary::bench {

// A thousand mails of about 2 KB each, shaped like a real inbox: verification codes, sign-in links,
// newsletters with discount codes, receipts with order numbers, plain conversation.
QList<Message> realisticMailbox(int count = 1000);

// Bodies written to make a regular-expression engine work hard. Each mentions a code, so the scan
// runs past the keyword gate.
QString megabyteOfDigits();
QString megabyteWithoutSpaces();
QString hundredThousandLines();

} // namespace tessary::bench
