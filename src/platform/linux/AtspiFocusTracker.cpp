#include "platform/linux/AtspiFocusTracker.h"

#include "platform/linux/AtspiNode.h"

#include <atspi/atspi.h>

namespace tessary {

namespace {
// How long a "nothing is focused" answer from the application stands when no event arrives.
constexpr qint64 emptyAnswerMs = 1000;

QString busOf(const QString& identity)
{
    return identity.section(QLatin1Char(':'), 0, -2);
}

QString busOf(AtspiAccessible* accessible)
{
    return busOf(identityOf(accessible));
}
} // namespace

AtspiFocusTracker::AtspiFocusTracker()
{
    m_listener = atspi_event_listener_new(&AtspiFocusTracker::onFocusEvent, this, nullptr);
    GError* error = nullptr;
    atspi_event_listener_register(m_listener, "object:state-changed:focused", &error);
    GErrorFree()(error);
}

AtspiFocusTracker::~AtspiFocusTracker()
{
    GError* error = nullptr;
    atspi_event_listener_deregister(m_listener, "object:state-changed:focused", &error);
    GErrorFree()(error);
    g_object_unref(m_listener);
}

void AtspiFocusTracker::onFocusEvent(AtspiEvent* event, void* self)
{
    // Runs inside libatspi's dispatch, possibly nested in another call's wait: only note the
    // element, ask nothing.
    auto* tracker = static_cast<AtspiFocusTracker*>(self);
    if (event->detail1 == 1 && event->source) {
        tracker->m_focus = elementFor(event->source);
        ++tracker->m_events;
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

Element AtspiFocusTracker::lastFocused()
{
    if (m_focus.isNull())
        return {};
    if (!atspi::hasState(accessibleOf(m_focus), ATSPI_STATE_FOCUSED))
        return {};
    return m_focus;
}

Element AtspiFocusTracker::focusedIn(AtspiAccessible* application)
{
    const QString bus = busOf(application);
    if (!m_focus.isNull() && busOf(m_focus.identity()) == bus) {
        if (atspi::hasState(accessibleOf(m_focus), ATSPI_STATE_FOCUSED))
            return m_focus;
    }
    // No usable event: ask the application, unless it was asked since the last event already.
    const bool askedSinceLastEvent = m_askedBus == bus && m_askedAtEvent == m_events && m_askedAt.isValid();
    if (askedSinceLastEvent && (!m_askedAnswer.isNull() || m_askedAt.elapsed() < emptyAnswerMs)) {
        if (m_askedAnswer.isNull() || atspi::hasState(accessibleOf(m_askedAnswer), ATSPI_STATE_FOCUSED))
            return m_askedAnswer;
    }
    m_askedBus = bus;
    m_askedAtEvent = m_events;
    m_askedAt.start();
    m_askedAnswer = askApplication(application);
    return m_askedAnswer;
}

Element AtspiFocusTracker::askApplication(AtspiAccessible* application)
{
    for (const GObjectPtr<AtspiAccessible>& window : atspi::children(application)) {
        if (!atspi::hasState(window.get(), ATSPI_STATE_ACTIVE))
            continue;
        if (atspi::hasState(window.get(), ATSPI_STATE_FOCUSED))
            return elementFor(window.get());
        return adoptElement(atspi::firstDescendantInState(window.get(), ATSPI_STATE_FOCUSED).release());
    }
    return {};
}

} // namespace tessary
