#include "engine/LinkFlow.h"

#include "engine/BurstLog.h"
#include "engine/ChipSurface.h"
#include "engine/Controller.h"
#include "engine/LinkOpener.h"

#include "analysis/LinkFinder.h"
#include "analysis/SiteDomain.h"
#include "screen/BrowserSets.h"
#include "screen/Role.h"
#include "state/AppState.h"

#include <QPointer>

namespace tessary {

namespace {

constexpr double linkPageLookback = 180; // seconds of mail searched when a link page shows up

const QString noLinkArrived = QStringLiteral("No email with a link arrived");
const QString couldNotOpen = QStringLiteral("Could not open the link");

} // namespace

LinkFlow::LinkFlow(const ControllerServices& services, Controller& controller, Burst& burst)
    : m_s(services)
    , m_controller(controller)
    , m_burst(burst)
{
}

void LinkFlow::pageTick(const std::optional<Element>& focused, quint64 loads, bool servingCodeField)
{
    // Every third tick at most: reading a whole page costs far more than reading the focus. And a
    // page is read again only after the focus moved or a page loaded, or once it has been at rest
    // for a while, because a form may turn into "check your email" in place without either.
    if (++m_pageTicks % 3 != 0 || servingCodeField)
        return;
    const auto now = m_s.clock.steadyNow();
    const bool changed = focused != m_pageFocus || loads != m_pageLoads;
    if (!changed && now < m_lastPageScan + m_s.timings.pageRescan)
        return;
    m_pageFocus = focused;
    m_pageLoads = loads;
    m_lastPageScan = now;

    const std::optional<RunningApplication> front = m_s.accessibility.frontmostApplication();
    const bool browser = front && !front->appId.isEmpty() && linkBrowsers().contains(front->appId);
    const std::optional<LinkPage> scanned = LinkPage::detect(m_s.accessibility);
    if (!m_page) {
        if (!scanned || m_handledPages.contains(scanned->url))
            return;
        m_page = scanned;
        m_handledPages.insert(scanned->url);
        m_controller.show(ChipModel::WaitingForLink{
            scanned->host ? std::optional(siteDomain(*scanned->host)) : std::nullopt, scanned->kind});
        startLinkBurst(*scanned);
        return;
    }
    // Leaving the page in the browser ends the wait; switching to the mail application does not,
    // nor does typing into a field (the page then reads as no link page, but it is still there),
    // nor another tab in front of the page's own (the user may read the mail there) unless that
    // one waits for a link too.
    if (!browser || (scanned && scanned->url == m_page->url))
        return;
    const Role focusRole = focused ? m_s.accessibility.role(*focused) : Role::other;
    const bool typing = isTextField(focusRole) || focusRole == Role::text;
    if (!scanned && (typing || m_page->behindAnotherTab(m_s.accessibility, focused)))
        return;
    m_controller.dismiss();
}

void LinkFlow::startLinkBurst(const LinkPage& page)
{
    linkBurst(page, m_burst.begin());
}

QCoro::Task<> LinkFlow::linkBurst(LinkPage page, CancelToken cancel)
{
    QPointer<LinkFlow> self(this);
    const TimePoint since = m_s.clock.now() - linkPageLookback;
    // Named, not a temporary of the co_await: GCC 12 destroys such temporaries twice.
    Burst::Looker looker = [this, since, &page, cancel](bool) { return look(since, page, cancel); };
    const auto deadline = m_s.clock.steadyNow() + m_s.timings.linkBurst;
    const BackendResult<Burst::End> end = co_await m_burst.watch(since, deadline, cancel, std::move(looker));
    if (!self || isCancelled(cancel))
        co_return;
    if (!end)
        m_controller.show(ChipModel::Failed{end.error().description()});
    else if (*end == Burst::End::deadline)
        m_controller.show(ChipModel::Failed{noLinkArrived});
}

QCoro::Task<BackendResult<Burst::Look>> LinkFlow::look(TimePoint since, const LinkPage& page,
                                                       CancelToken cancel)
{
    QPointer<LinkFlow> self(this);
    const BackendResult<QList<Message>> messages = co_await m_s.backend.messages(since, cancel);
    if (!messages)
        co_return Unexpected{messages.error()};
    if (!self || isCancelled(cancel))
        co_return Burst::Look::done;
    const QStringList hosts = page.host ? QStringList{*page.host} : QStringList{};
    // The best link of a mail not used yet: the mail whose link was opened for an earlier page may
    // still lead, and its other links are not the ones wanted.
    const std::optional<FoundLink> link = LinkFinder::bestLink(*messages, hosts, page.kind, m_usedMails);
    if (!link)
        co_return Burst::Look::watchOn;
    linkFound(*link);
    co_return Burst::Look::done;
}

void LinkFlow::linkFound(const FoundLink& link)
{
    qCInfo(burstLog).noquote() << QStringLiteral("found %1 link from %2")
                                      .arg(link.kind == FoundLink::Kind::confirm
                                               ? QStringLiteral("confirmation")
                                               : QStringLiteral("sign-in"),
                                           link.senderDomain);
    if (m_s.state.autoFillOnMatch() && link.trusted)
        openLink(link);
    else
        m_controller.show(ChipModel::Link{link});
}

void LinkFlow::openLink(FoundLink link)
{
    m_burst.cancel();
    // A link no browser took is not used, and its mail is the user's way to it: it stays.
    if (!m_s.links.open(link.url, m_page ? m_page->appURL : std::nullopt)) {
        m_controller.show(ChipModel::Failed{couldNotOpen});
        return;
    }
    if (link.messageId)
        m_usedMails.insert(*link.messageId);
    emit opened(link.url);
    m_controller.show(ChipModel::Opened{link.kind});
    closeOpenedChip(link.messageId);
}

QCoro::Task<> LinkFlow::closeOpenedChip(std::optional<QString> messageId)
{
    QPointer<LinkFlow> self(this);
    ChipModel& chip = m_s.chip.model();
    const quint64 shown = chip.changes();
    co_await m_s.clock.sleep(m_s.timings.openedChip);
    if (!self)
        co_return;
    if (chip.changes() == shown)
        m_controller.dismiss();
    m_s.state.deleteIfEnabled(messageId);
}

void LinkFlow::openFromChip()
{
    if (const auto* link = std::get_if<ChipModel::Link>(&m_s.chip.model().state()))
        openLink(link->link);
}

} // namespace tessary
