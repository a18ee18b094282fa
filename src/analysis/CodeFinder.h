#pragma once

#include "analysis/FoundCode.h"
#include "analysis/MessageSource.h"

#include <QSet>
#include <QStringList>

namespace tessary {

// Turns the mail that arrived since a field was focused into the code most likely meant for it:
// one candidate per message, scored, with a bonus when the sender belongs to the site.
class CodeFinder {
public:
    explicit CodeFinder(MessageSource& source)
        : m_source(source)
    {
    }

    // The best code among the messages received since `since`, for a field shown by one of
    // `domains` (hosts or site domains). A failed fetch is returned as it came; none when no
    // message holds a code. The source must outlive the task.
    QCoro::Task<BackendResult<std::optional<FoundCode>>> bestCode(TimePoint since, QStringList domains,
                                                                  CancelToken cancel = {});

    // Every message's code, best first: higher score, then later arrival; otherwise the messages'
    // own order. `sites` are site domains already expanded by expandDomains.
    static QList<FoundCode> rank(const QList<Message>& messages, const QSet<QString>& sites);

private:
    MessageSource& m_source;
};

} // namespace tessary
