#include "platform/atspi/AtspiFocusTracker.h"

#include "platform/atspi/AtspiNode.h"

#include <atspi/atspi.h>

namespace tessary {

namespace {
constexpr const char* trackedEvents[] = {"object:state-changed:focused", "object:state-changed:active",
                                         "document:load-complete"};

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
    // Each registration waits for the accessibility registry's answer, which a busy session can
    // take tens of milliseconds to give: one per turn of the event loop, so that no single turn
    // waits for all of them.
    m_registering.setInterval(0);
    m_registering.callOnTimeout([this] { registerNext(); });
    m_registering.start();
}

AtspiFocusTracker::~AtspiFocusTracker()
{
    for (std::size_t index = 0; index < m_registered; ++index) {
        GError* error = nullptr;
        atspi_event_listener_deregister(m_listener, trackedEvents[index], &error);
        GErrorFree()(error);
    }
    g_object_unref(m_listener);
}

// Listening to both state changes also keeps libatspi's cached focused and active states current
// (see focusedIn), so re-checking the focus costs no call into the application.
void AtspiFocusTracker::registerNext()
{
    GError* error = nullptr;
    atspi_event_listener_register(m_listener, trackedEvents[m_registered++], &error);
    GErrorFree()(error);
    if (m_registered == std::size(trackedEvents))
        m_registering.stop();
}

void AtspiFocusTracker::onFocusEvent(AtspiEvent* event, void* self)
{
    // Runs inside libatspi's dispatch, possibly nested in another call's wait: only note the
    // element, ask nothing.
    auto* tracker = static_cast<AtspiFocusTracker*>(self);
    if (event->detail1 == 1 && event->source && g_str_has_suffix(event->type, ":focused")) {
        tracker->m_focus = elementFor(event->source);
        ++tracker->m_events;
    } else if (g_str_has_prefix(event->type, "document:load-complete")) {
        // A page that put the focus in a field while it loaded may only now expose that field as
        // it is: the focus is asked for again and the focused element classified again.
        ++tracker->m_loads;
        ++tracker->m_events;
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

Element AtspiFocusTracker::focusedIn(AtspiAccessible* application)
{
    const QString bus = busOf(application);
    if (m_registered == std::size(trackedEvents) && !m_cachingStates.contains(bus)) {
        // Cache only what cannot go stale: roles, interfaces, and the states whose changes this
        // client hears (focused, active), once it hears them. Children and names change with
        // events not listened to.
        m_cachingStates.insert(bus);
        atspi_accessible_set_cache_mask(
            application, AtspiCache(ATSPI_CACHE_ROLE | ATSPI_CACHE_INTERFACES | ATSPI_CACHE_STATES));
    }
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
    const GObjectPtr<AtspiAccessible> window = atspi::activeWindow(application);
    if (!window)
        return {};
    if (atspi::hasState(window.get(), ATSPI_STATE_FOCUSED))
        return elementFor(window.get());
    return adoptElement(atspi::firstDescendantInState(window.get(), ATSPI_STATE_FOCUSED).release());
}

} // namespace tessary
