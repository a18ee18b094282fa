#include "analysis/CodeFinder.h"

#include "analysis/CodeExtraction.h"
#include "analysis/InternetDateTime.h"
#include "analysis/SiteDomain.h"

#include <algorithm>

namespace tessary {

namespace {
constexpr qint64 senderMatchesSiteBonus = 100;
} // namespace

QCoro::Task<BackendResult<std::optional<FoundCode>>>
CodeFinder::bestCode(TimePoint since, QStringList domains, CancelToken cancel)
{
    const QSet<QString> sites = expandDomains(domains);
    BackendResult<QList<Message>> messages = co_await m_source.messages(since, cancel);
    if (!messages)
        co_return Unexpected{messages.error()};
    const QList<FoundCode> ranked = rank(*messages, sites);
    if (ranked.isEmpty())
        co_return std::optional<FoundCode>();
    co_return std::optional<FoundCode>(ranked.first());
}

QList<FoundCode> CodeFinder::rank(const QList<Message>& messages, const QSet<QString>& sites)
{
    QList<FoundCode> found;
    for (const Message& message : messages) {
        std::optional<ExtractedCode> extracted = extractCode(message.subject, message.text);
        if (!extracted)
            continue;
        FoundCode code;
        code.code = extracted->code;
        code.sender = message.sender;
        // A text message's sender is a number, no domain: its code is a site's own only when its
        // last line binds it to that site, as the site itself wrote it.
        if (!message.phone)
            code.senderDomain = senderSiteDomain(message.sender);
        else if (!extracted->boundHost.isEmpty())
            code.senderDomain = siteDomain(extracted->boundHost);
        code.received = receivedTime(message.receivedAt);
        code.score =
            extracted->score +
            (!code.senderDomain.isEmpty() && sites.contains(code.senderDomain) ? senderMatchesSiteBonus : 0);
        code.messageId = message.id;
        code.phone = message.phone;
        found.append(std::move(code));
    }
    std::stable_sort(found.begin(), found.end(), [](const FoundCode& a, const FoundCode& b) {
        return a.score != b.score ? a.score > b.score : a.received > b.received;
    });
    return found;
}

} // namespace tessary
