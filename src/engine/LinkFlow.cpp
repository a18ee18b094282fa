// The link side of the controller: a browser page that says a sign-in or confirmation link was
// e-mailed gets the chip, a burst that waits for that mail, and the link opened where the page was.

#include "engine/BurstLog.h"
#include "engine/ChipSurface.h"
#include "engine/Controller.h"
#include "engine/LinkOpener.h"

#include "analysis/LinkFinder.h"
#include "analysis/SiteDomain.h"
#include "screen/BrowserSets.h"
#include "state/AppState.h"

#include <QPointer>

namespace tessary {

namespace {

constexpr double lookback = 180; // seconds of mail searched when a link page shows up

const QString noLinkArrived = QStringLiteral("No email with a link arrived");

QString linkIdentity(const QUrl& url)
{
    return url.toString(QUrl::FullyEncoded);
}

} // namespace

void Controller::pageTick(const std::optional<Element>& focused, quint64 loads)
{
    // Every third tick at most: reading a whole page costs far more than reading the focus. And a
    // page is read again only after the focus moved or a page loaded, or once it has been at rest
    // for a while, because a form may turn into "check your email" in place without either.
    if (++m_pageTicks % 3 != 0 || m_field)
        return;
    const auto now = m_s.clock.steadyNow();
    const bool changed = focused != m_pageFocus || loads != m_pageLoads;
    if (!changed && now < m_lastPageScan + m_s.timings.pageRescan)
        return;
    m_pageFocus = focused;
    m_pageLoads = loads;
    m_lastPageScan = now;

    const std::optional<RunningApplication> front = m_s.accessibility.frontmostApplication();
    const bool browser =
        front && !front->bundleIdentifier.isEmpty() && linkBrowsers().contains(front->bundleIdentifier);
    const std::optional<LinkPage> scanned = LinkPage::detect(m_s.accessibility);
    if (!m_linkPage) {
        if (!scanned || m_handledPages.contains(scanned->url))
            return;
        m_linkPage = scanned;
        m_handledPages.insert(scanned->url);
        show(ChipModel::WaitingForLink{
            scanned->host ? std::optional(siteDomain(*scanned->host)) : std::nullopt, scanned->kind});
        startLinkBurst(*scanned);
        return;
    }
    // Leaving the page in the browser ends the wait; switching to the mail application does not.
    if (browser && (!scanned || scanned->url != m_linkPage->url))
        dismiss();
}

void Controller::startLinkBurst(const LinkPage& page)
{
    linkBurst(page, newBurst());
}

QCoro::Task<BackendResult<std::optional<FoundLink>>>
Controller::lookForLink(TimePoint since, const LinkPage& page, CancelToken cancel)
{
    QPointer<Controller> self(this);
    const BackendResult<QList<Message>> messages = co_await m_s.backend.messages(since, cancel);
    if (!messages)
        co_return Unexpected{messages.error()};
    const QStringList hosts = page.host ? QStringList{*page.host} : QStringList{};
    std::optional<FoundLink> link = LinkFinder::bestLink(*messages, hosts, page.kind);
    if (!self || (link && m_usedLinks.contains(linkIdentity(link->url))))
        link.reset();
    co_return link;
}

QCoro::Task<> Controller::linkBurst(LinkPage page, CancelToken cancel)
{
    QPointer<Controller> self(this);
    const auto failed = [&](const BackendError& error) {
        if (self && !isCancelled(cancel))
            show(ChipModel::Failed{error.description()});
    };
    const TimePoint since = m_s.clock.now() - lookback;
    const auto deadline = m_s.clock.steadyNow() + m_s.timings.linkBurst;

    // The ids are taken before the first look, so mail that arrives while that look runs is new
    // to the loop below instead of counted as seen and never fetched.
    BackendResult<QSet<QString>> known = co_await pollIds(since, cancel);
    if (!self || isCancelled(cancel))
        co_return;
    if (!known)
        co_return failed(known.error());

    BackendResult<std::optional<FoundLink>> link = co_await lookForLink(since, page, cancel);
    if (!self || isCancelled(cancel))
        co_return;
    if (!link)
        co_return failed(link.error());
    if (*link)
        co_return linkFound(**link);

    for (;;) {
        const BackendResult<std::optional<QSet<QString>>> arrived =
            co_await nextNewIds(since, *known, deadline, cancel);
        if (!self || isCancelled(cancel))
            co_return;
        if (!arrived)
            co_return failed(arrived.error());
        if (!*arrived)
            break;
        link = co_await lookForLink(since, page, cancel);
        if (!self || isCancelled(cancel))
            co_return;
        if (!link)
            co_return failed(link.error());
        if (*link)
            co_return linkFound(**link);
        known = **arrived;
    }
    if (self && !isCancelled(cancel))
        show(ChipModel::Failed{noLinkArrived});
}

void Controller::linkFound(const FoundLink& link)
{
    qCInfo(burstLog).noquote() << QStringLiteral("found %1 link from %2")
                                      .arg(link.kind == FoundLink::Kind::confirm
                                               ? QStringLiteral("confirmation")
                                               : QStringLiteral("sign-in"),
                                           link.senderDomain);
    if (m_s.state.autoFillOnMatch() && link.trusted)
        openLink(link);
    else
        show(ChipModel::Link{link});
}

void Controller::openLink(const FoundLink& link)
{
    m_usedLinks.insert(linkIdentity(link.url));
    cancelBurst();
    m_s.links.open(link.url, m_linkPage ? m_linkPage->appURL : std::nullopt);
    emit opened(link.url);
    show(ChipModel::Opened{link.kind});
    closeOpenedChip(link.messageId);
}

QCoro::Task<> Controller::closeOpenedChip(std::optional<QString> messageId)
{
    QPointer<Controller> self(this);
    const quint64 shown = chipModel().changes();
    co_await m_s.clock.sleep(m_s.timings.openedChip);
    if (!self)
        co_return;
    if (chipModel().changes() == shown)
        dismiss();
    deleteIfEnabled(messageId);
}

void Controller::openFromChip()
{
    if (const auto* link = std::get_if<ChipModel::Link>(&chipModel().state()))
        openLink(link->link);
}

} // namespace tessary
