#include "engine/Controller.h"

#include "common/AppIdentity.h"
#include "engine/ChipSurface.h"
#include "engine/HeartbeatBus.h"
#include "hotkey/HotKey.h"
#include "screen/FrameWait.h"
#include "state/AppState.h"

#include <QPointer>

namespace tessary {

Controller::Controller(ControllerServices services, QObject* parent)
    : QObject(parent)
    , m_s(std::move(services))
    , m_finder(m_s.backend)
{
}

Controller::~Controller()
{
    cancelBurst();
}

void Controller::start()
{
    if (m_started)
        return;
    m_started = true;
    QPointer<Controller> self(this);
    ChipModel& chip = chipModel();
    chip.onFill = [self] {
        if (self)
            self->fillFromChip();
    };
    chip.onOpen = [self] {
        if (self)
            self->openFromChip();
    };
    chip.onClose = [self] {
        if (self)
            self->dismiss();
    };

    m_s.hotKey.setPressHandler([self] {
        if (self)
            self->fillNewest();
    });
    HotKey* hotKey = &m_s.hotKey;
    m_s.state.setRegisterShortcut(
        [hotKey](const std::optional<Shortcut>& shortcut) { return hotKey->claim(shortcut); });
    m_s.hotKey.registerShortcut(m_s.state.shortcut());

    prepareFrontmost();

    if (m_s.developerBuild)
        runHeartbeat();
    else
        m_s.heartbeat.listen([self] {
            if (self)
                self->heartbeatHeard();
        });
    runTicks();
}

QCoro::Task<> Controller::runTicks()
{
    QPointer<Controller> self(this);
    for (;;) {
        co_await m_s.clock.sleep(m_s.timings.focusTick);
        if (!self)
            co_return;
        co_await tick();
        if (!self)
            co_return;
    }
}

bool Controller::eligible() const
{
    return (m_s.state.hasInbox() && m_s.state.accessibility()) || m_s.state.demoMode();
}

QCoro::Task<> Controller::tick()
{
    if (!eligible() || m_s.state.isPaused())
        co_return;
    if (!m_s.developerBuild && m_lastDevHeartbeat &&
        m_s.clock.steadyNow() - *m_lastDevHeartbeat < m_s.timings.heartbeat)
        co_return;
    prepareFrontmost();
    const std::optional<Element> focused = m_s.accessibility.focusedElement();
    const quint64 loads = m_s.accessibility.documentLoads();
    pageTick(focused, loads);
    if (!focused)
        co_return;
    if (m_lastFocused && *m_lastFocused == *focused) {
        // The same element: classified already, unless a page finished loading since, which may
        // only now show the field it focused while loading as what it is.
        const bool servedAlready = m_field && m_field->element == *focused;
        if (loads == m_loadsAtClassification || servedAlready)
            co_return;
    }
    m_lastFocused = focused;
    m_loadsAtClassification = loads;
    if (m_s.clock.steadyNow() <= m_suppressUntil)
        co_return;

    QPointer<Controller> self(this);
    co_await waitForFrame(m_s.accessibility, m_s.clock, *focused, m_s.timings);
    if (!self || !(m_lastFocused && *m_lastFocused == *focused))
        co_return;
    if (const std::optional<CodeField> codeField = CodeField::detect(m_s.accessibility, *focused)) {
        handleField(*codeField);
        co_return;
    }
    // Focus in one of our own windows (the chip, the popover) keeps the field and its chip.
    if (m_field && m_s.accessibility.processId(*focused) != m_s.ownPid)
        dismiss();
}

// Each application that becomes active is prepared again, as the one in front at start was: a
// browser that was never prepared keeps its pages out of the accessibility tree.
void Controller::prepareFrontmost()
{
    const std::optional<RunningApplication> front = m_s.accessibility.frontmostApplication();
    const qint64 pid = front ? front->pid : 0;
    if (pid == m_preparedPid)
        return;
    m_preparedPid = pid;
    if (front)
        m_s.accessibility.prepareAccessibility(*front);
}

ChipModel& Controller::chipModel() const
{
    return m_s.chip.model();
}

void Controller::show(ChipModel::State state)
{
    const bool failed = std::holds_alternative<ChipModel::Failed>(state);
    chipModel().setState(std::move(state));
    placeChip();
    if (failed)
        dismissAfter(m_s.timings.failedChip);
}

void Controller::placeChip()
{
    std::optional<Rect> frame;
    if (m_field && m_field->frame)
        frame = m_field->frame;
    else if (m_linkPage)
        frame = m_linkPage->anchor;
    m_s.chip.place(frame);
}

void Controller::dismiss()
{
    cancelBurst();
    m_field.reset();
    m_linkPage.reset();
    m_s.chip.hide();
}

// Hides the chip after `wait` unless another state was shown meanwhile: a chip that changed is
// not the one this wait was for.
QCoro::Task<> Controller::dismissAfter(std::chrono::milliseconds wait)
{
    QPointer<Controller> self(this);
    const quint64 shown = chipModel().changes();
    co_await m_s.clock.sleep(wait);
    if (self && chipModel().changes() == shown)
        dismiss();
}

void Controller::cancelBurst()
{
    if (m_burst)
        m_burst->cancel();
}

CancelToken Controller::newBurst()
{
    cancelBurst();
    m_burst = makeCancelToken();
    return m_burst;
}

QCoro::Task<> Controller::runHeartbeat()
{
    QPointer<Controller> self(this);
    for (;;) {
        m_s.heartbeat.post();
        co_await m_s.clock.sleep(m_s.timings.heartbeatEvery);
        if (!self)
            co_return;
    }
}

void Controller::heartbeatHeard()
{
    const auto now = m_s.clock.steadyNow();
    // The first heartbeat after a quiet spell: the developer build takes over from here.
    if (!m_lastDevHeartbeat || now - *m_lastDevHeartbeat >= m_s.timings.heartbeat)
        dismiss();
    m_lastDevHeartbeat = now;
}

void Controller::deleteIfEnabled(const std::optional<QString>& messageId)
{
    m_s.state.deleteIfEnabled(messageId);
}

} // namespace tessary
