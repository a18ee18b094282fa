#pragma once

#include "analysis/CodeFinder.h"
#include "analysis/FoundCode.h"
#include "analysis/FoundLink.h"
#include "backend/BackendApi.h"
#include "common/AppIdentity.h"
#include "common/Cancellation.h"
#include "common/Clock.h"
#include "common/Timings.h"
#include "engine/ChipModel.h"
#include "screen/CodeField.h"
#include "screen/Keyboard.h"
#include "screen/LinkPage.h"

#include <QCoreApplication>
#include <QObject>
#include <QSet>

#include <optional>

namespace tessary {

class AppState;
class ChipSurface;
class Clipboard;
class HeartbeatBus;
class HotKey;
class LinkOpener;

// What the controller reads and drives; every member outlives it.
struct ControllerServices {
    AppState& state;
    Accessibility& accessibility;
    Keyboard& keyboard;
    BackendApi& backend;
    Clock& clock;
    ChipSurface& chip;
    HotKey& hotKey;
    Clipboard& clipboard;
    LinkOpener& links;
    HeartbeatBus& heartbeat;
    Timings timings = {};
    bool developerBuild = isDevBuild();
    qint64 ownPid = QCoreApplication::applicationPid();
};

// The engine: every 0.4 s it looks at the focused element; a newly focused code field gets a code
// (a recent one, or one from a burst of backend polling), offered on the chip or typed at once; a
// browser page waiting for an e-mailed link gets that link. One fetch task runs at a time in the
// `burst` slot; starting one cancels the one before. Main thread only.
class Controller : public QObject {
    Q_OBJECT
public:
    explicit Controller(ControllerServices services, QObject* parent = nullptr);
    ~Controller() override;

    // Wires the chip's buttons, the hot key and the heartbeat, and starts the focus loop.
    void start();
    // One turn of the focus loop; the loop runs it every `focusTick`.
    QCoro::Task<> tick();

    void show(ChipModel::State state);
    void placeChip();
    void dismiss();

    // Code flow
    void handleField(const CodeField& field);
    void startBurst(QStringList domains);
    void offer(const FoundCode& code);
    void remember(const FoundCode& code);
    void fill(const FoundCode& code, const std::optional<CodeField>& field);
    void fillFromChip();
    void fillNewest();

    // Link flow
    void pageTick(const std::optional<Element>& focused, quint64 loads);
    void startLinkBurst(const LinkPage& page);
    void openLink(const FoundLink& link);
    void openFromChip();

    // The demo code the onboarding practice field gets; its sender is the product's own domain.
    static FoundCode demoCode(TimePoint now);
    static const QString demoSenderDomain;

    const std::optional<CodeField>& field() const { return m_field; }
    const std::optional<LinkPage>& linkPage() const { return m_linkPage; }
    const QSet<QString>& used() const { return m_used; }

signals:
    // Each code typed and each link opened, for tessary-inspect engine.
    void typed(const QString& text);
    void opened(const QUrl& url);

private:
    QCoro::Task<> runTicks();
    QCoro::Task<> runHeartbeat();
    void heartbeatHeard();
    bool eligible() const;
    void prepareFrontmost();
    ChipModel& chipModel() const;
    void cancelBurst();
    CancelToken newBurst();

    QCoro::Task<> codeBurst(TimePoint since, QStringList domains, TimePoint started,
                            std::chrono::steady_clock::time_point deadline, CancelToken cancel);
    QCoro::Task<BackendResult<std::optional<FoundCode>>>
    bestUnused(TimePoint since, QStringList domains, std::optional<QString> sender, CancelToken cancel);
    bool awaitsBetter(const FoundCode& offered) const;
    QCoro::Task<BackendResult<QSet<QString>>> pollIds(TimePoint since, CancelToken cancel);
    QCoro::Task<BackendResult<std::optional<QSet<QString>>>>
    nextNewIds(TimePoint since, QSet<QString> known, std::chrono::steady_clock::time_point deadline,
               CancelToken cancel);
    QCoro::Task<> fillTask(FoundCode code, std::optional<CodeField> field, bool isDemo);
    QCoro::Task<> hotKeySearch(std::optional<CodeField> field, CancelToken cancel);
    QCoro::Task<> linkBurst(LinkPage page, CancelToken cancel);
    QCoro::Task<BackendResult<std::optional<FoundLink>>> lookForLink(TimePoint since, const LinkPage& page,
                                                                     CancelToken cancel);
    QCoro::Task<> closeOpenedChip(std::optional<QString> messageId);
    void linkFound(const FoundLink& link);
    QCoro::Task<> dismissAfter(std::chrono::milliseconds wait);
    void deleteIfEnabled(const std::optional<QString>& messageId);

    ControllerServices m_s;
    CodeFinder m_finder;
    bool m_started = false;
    std::optional<Element> m_lastFocused;
    quint64 m_loadsAtClassification = 0;
    qint64 m_preparedPid = 0; // the application in front when the loop last looked
    std::optional<CodeField> m_field;
    CancelToken m_burst;
    std::chrono::steady_clock::time_point m_suppressUntil = std::chrono::steady_clock::time_point::min();
    QSet<QString> m_used;
    std::optional<std::chrono::steady_clock::time_point> m_lastDevHeartbeat;
    qint64 m_pageTicks = 0;
    // What the page watch saw when it last read the page.
    std::optional<Element> m_pageFocus;
    quint64 m_pageLoads = 0;
    std::chrono::steady_clock::time_point m_lastPageScan = std::chrono::steady_clock::time_point::min();
    std::optional<LinkPage> m_linkPage;
    QSet<QString> m_handledPages;
    QSet<QString> m_usedLinks;
    std::chrono::steady_clock::time_point m_lastIdsPass = std::chrono::steady_clock::time_point::min();
};

} // namespace tessary
