#pragma once

#include "platform/atspi/AtspiHandle.h"

#include <QElapsedTimer>
#include <QSet>
#include <QTimer>

#include <cstddef>

typedef struct _AtspiEvent AtspiEvent;
typedef struct _AtspiEventListener AtspiEventListener;

namespace tessary {

// Knows which element has the keyboard focus without walking trees: it listens for
// object:state-changed:focused and keeps the last element that gained the focus. Events merge or
// get lost when the focus moves fast, so a read re-checks the focused state, and falls back to
// asking the application itself (Collection: the first focused descendant of its active window).
// That answer is remembered until the next focus event, or for a moment when it was "nothing", so
// a window without focus costs no query per tick.
class AtspiFocusTracker {
public:
    AtspiFocusTracker();
    ~AtspiFocusTracker();
    AtspiFocusTracker(const AtspiFocusTracker&) = delete;
    AtspiFocusTracker& operator=(const AtspiFocusTracker&) = delete;

    // The focused element inside the application element `application`; null when none.
    Element focusedIn(AtspiAccessible* application);
    // The element of the last focus event, in any application, whether or not it still has the
    // focus: the caller asks that only once it knows the element is not this process's own.
    const Element& lastFocusEvent() const { return m_focus; }

    // Focus events received so far: proof that libatspi's events reach this thread's loop.
    quint64 eventCount() const { return m_events; }
    // Documents that finished loading so far.
    quint64 documentLoads() const { return m_loads; }

private:
    static void onFocusEvent(AtspiEvent* event, void* self);
    Element askApplication(AtspiAccessible* application);
    void registerNext();

    AtspiEventListener* m_listener = nullptr;
    QTimer m_registering; // registers the listener for one more event type per turn
    std::size_t m_registered = 0;
    Element m_focus; // the last element that gained the focus
    quint64 m_events = 0;
    quint64 m_loads = 0;
    QString m_askedBus; // the application last asked, with the event count at the time
    quint64 m_askedAtEvent = 0;
    QElapsedTimer m_askedAt;
    Element m_askedAnswer;
    QSet<QString> m_cachingStates; // applications whose states libatspi keeps current
};

} // namespace tessary
