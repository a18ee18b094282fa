#include "engine/Controller.h"

#include "engine/ChipSurface.h"
#include "engine/CodeSources.h"
#include "hotkey/HotKey.h"
#include "screen/FrameWait.h"
#include "state/AppState.h"

#include <QPointer>

namespace tessary {

Controller::Controller(ControllerServices services, QObject* parent)
    : QObject(parent)
    , m_s(std::move(services))
    , m_burst(m_s.backend, m_s.clock, m_s.timings.idsPass)
    , m_codes(m_s, *this, m_burst)
    , m_links(m_s, *this, m_burst)
{
    connect(&m_codes, &CodeFlow::typed, this, &Controller::typed);
    connect(&m_links, &LinkFlow::opened, this, &Controller::opened);
}

// The running task ends before the flows that wait on it go.
Controller::~Controller()
{
    m_burst.cancel();
}

void Controller::start()
{
    if (m_started)
        return;
    m_started = true;
    QPointer<Controller> self(this);
    ChipModel& chip = m_s.chip.model();
    chip.onFill = [self] {
        if (self)
            self->m_codes.fillFromChip();
    };
    chip.onOpen = [self] {
        if (self)
            self->m_links.openFromChip();
    };
    chip.onClose = [self] {
        if (self)
            self->dismiss();
    };

    m_s.hotKey.setPressHandler([self] {
        if (self)
            self->hotKeyPressed();
    });
    HotKey* hotKey = &m_s.hotKey;
    m_s.state.setRegisterShortcut(
        [hotKey](const std::optional<Shortcut>& shortcut) { return hotKey->claim(shortcut); });
    m_s.hotKey.setAnswerHandler(
        [state = QPointer<AppState>(&m_s.state)](const std::optional<QString>& refusal) {
            if (state)
                state->shortcutAnswered(refusal);
        });
    m_s.hotKey.registerShortcut(m_s.state.shortcut());

    prepareFrontmost();
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

// Someone whose codes come by SMS alone needs no inbox: a phone that relays is enough.
bool Controller::eligible() const
{
    return (hasCodeSource(m_s.state, m_s.sms) && m_s.state.accessibility()) || m_s.state.demoMode();
}

QCoro::Task<> Controller::tick()
{
    if (!eligible() || m_s.state.isPaused() || m_s.clock.steadyNow() < m_restUntil)
        co_return;
    prepareFrontmost();
    const std::optional<Element> focused = m_s.accessibility.focusedElement();
    const quint64 loads = m_s.accessibility.documentLoads();
    m_links.pageTick(focused, loads, m_codes.field().has_value());
    if (!focused)
        co_return;
    if (m_lastFocused && *m_lastFocused == *focused) {
        // The same element: classified already, unless a page finished loading since, which may
        // only now show the field it focused while loading as what it is.
        const bool servedAlready = field() && field()->element == *focused;
        if (loads == m_loadsAtClassification || servedAlready)
            co_return;
    }
    m_lastFocused = focused;
    m_loadsAtClassification = loads;
    if (m_codes.detectionRests())
        co_return;

    QPointer<Controller> self(this);
    co_await waitForFrame(m_s.accessibility, m_s.clock, *focused, m_s.timings);
    if (!self || !(m_lastFocused && *m_lastFocused == *focused))
        co_return;
    if (const std::optional<CodeField> codeField = CodeField::detect(m_s.accessibility, *focused)) {
        m_codes.handleField(*codeField);
        co_return;
    }
    // Focus in one of our own windows (the chip, the popover) keeps the field and its chip, and so
    // does the field the hot key fills, which need not be a code field. While the hot key's search
    // runs, a focus read that differs (the browser's report of it may lag) does not end it either.
    if (field() && field()->element != *focused && !m_codes.hotKeySearching() &&
        m_s.accessibility.processId(*focused) != m_s.ownPid)
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

void Controller::show(ChipModel::State state)
{
    const bool failed = std::holds_alternative<ChipModel::Failed>(state);
    showUntilReplaced(std::move(state));
    if (failed)
        dismissAfter(m_s.timings.failedChip);
}

void Controller::showUntilReplaced(ChipModel::State state)
{
    m_s.chip.model().setState(std::move(state));
    placeChip();
}

void Controller::placeChip()
{
    std::optional<Rect> frame;
    if (field() && field()->frame)
        frame = field()->frame;
    else if (linkPage())
        frame = linkPage()->anchor;
    m_s.chip.place(frame);
}

void Controller::dismiss()
{
    m_burst.cancel();
    m_codes.release();
    m_links.release();
    m_s.chip.hide();
}

void Controller::hotKeyPressed()
{
    if (const auto* link = std::get_if<ChipModel::Link>(&m_s.chip.model().state());
        link && m_s.chip.isVisible())
        return m_links.openLink(link->link);
    m_codes.fillNewest();
}

// Hides the chip after `wait` unless another state was shown meanwhile: a chip that changed is
// not the one this wait was for.
QCoro::Task<> Controller::dismissAfter(std::chrono::milliseconds wait)
{
    QPointer<Controller> self(this);
    const quint64 shown = m_s.chip.model().changes();
    co_await m_s.clock.sleep(wait);
    if (self && m_s.chip.model().changes() == shown)
        dismiss();
}

} // namespace tessary
