#pragma once

#include "analysis/FoundLink.h"
#include "common/Records.h"

#include <QList>
#include <QSet>
#include <QStringList>

namespace tessary {

// A link of a message with the words around it.
struct CandidateLink {
    QUrl url;
    QString context;
    friend bool operator==(const CandidateLink&, const CandidateLink&) = default;
};

// Every web link of a message: first the backend's links with their visible text, then the links
// written in the body with the line that holds them and the line before. The same address may
// appear twice.
QList<CandidateLink> candidateLinks(const Message& message);

// Picks the one link worth opening after a page said that a sign-in or confirmation link was sent.
class LinkFinder {
public:
    // The best sign-in or confirmation link of the messages for a page on one of `domains`, or none
    // when nothing scores 60. With a wanted kind, links whose wording clearly says the other kind
    // are passed over, and so are the messages in `usedMessages` (ids of mails whose link was
    // opened: their other links are the ones not wanted).
    static std::optional<FoundLink> bestLink(const QList<Message>& messages, const QStringList& domains,
                                             std::optional<FoundLink::Kind> wanted = std::nullopt,
                                             const QSet<QString>& usedMessages = {});
};

} // namespace tessary
