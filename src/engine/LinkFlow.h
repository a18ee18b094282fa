#pragma once

#include "analysis/FoundLink.h"
#include "engine/Burst.h"
#include "engine/ControllerServices.h"
#include "screen/LinkPage.h"

#include <QObject>
#include <QSet>
#include <QUrl>

#include <optional>

namespace tessary {

class Controller;

// The link side of the engine: a browser page that says a sign-in or confirmation link was
// e-mailed gets the chip, a burst that waits for that mail, and the link opened where the page
// was. The chip is driven through the controller that owns the flow. Main thread only.
class LinkFlow : public QObject {
    Q_OBJECT
public:
    LinkFlow(const ControllerServices& services, Controller& controller, Burst& burst);

    // The page watch, run by every tick of the focus loop with what that tick read; it rests while
    // a code field is served.
    void pageTick(const std::optional<Element>& focused, quint64 loads, bool servingCodeField);
    void startLinkBurst(const LinkPage& page);
    // By value: the link may be the one the chip shows, which the "opened" state replaces.
    void openLink(FoundLink link);
    // The chip's Open: the link it shows, if it shows one.
    void openFromChip();

    // The page the chip serves, if any; `release` lets it go.
    const std::optional<LinkPage>& page() const { return m_page; }
    void release() { m_page.reset(); }

signals:
    void opened(const QUrl& url);

private:
    QCoro::Task<> linkBurst(LinkPage page, CancelToken cancel);
    QCoro::Task<BackendResult<Burst::Look>> look(TimePoint since, const LinkPage& page, CancelToken cancel);
    void linkFound(const FoundLink& link);
    QCoro::Task<> closeOpenedChip(std::optional<QString> messageId);

    const ControllerServices& m_s;
    Controller& m_controller;
    Burst& m_burst;
    qint64 m_pageTicks = 0;
    // What the page watch saw when it last read the page.
    std::optional<Element> m_pageFocus;
    quint64 m_pageLoads = 0;
    std::chrono::steady_clock::time_point m_lastPageScan = std::chrono::steady_clock::time_point::min();
    std::optional<LinkPage> m_page;
    QSet<QString> m_handledPages;
    QSet<QString> m_usedMails; // ids of the mails whose link was opened
};

} // namespace tessary
