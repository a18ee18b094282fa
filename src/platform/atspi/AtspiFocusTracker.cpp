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
    // Listening to both also keeps libatspi's cached focused and active states current (see
    // focusedIn), so re-checking the focus costs no call into the application.
    for (const char* type : trackedEvents) {
        GError* error = nullptr;
        atspi_event_listener_register(m_listener, type, &error);
        GErrorFree()(error);
    }
}

AtspiFocusTracker::~AtspiFocusTracker()
{
    for (const char* type : trackedEvents) {
        GError* error = nullptr;
        atspi_event_listener_deregister(m_listener, type, &error);
        GErrorFree()(error);
    }
    g_object_unref(m_listener);
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
    if (!m_cachingStates.contains(bus)) {
        // Cache only what cannot go stale: roles, interfaces, and the states whose changes this
        // client hears (focused, active). Children and names change with events not listened to.
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
