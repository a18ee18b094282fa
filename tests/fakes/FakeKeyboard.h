#pragma once

#include "fakes/FakeAccessibility.h"
#include "fakes/FakeClock.h"
#include "screen/Element.h"
#include "screen/Keyboard.h"

#include <QHash>
#include <QList>

#include <chrono>
#include <optional>
#include <utility>

namespace tessary::test {

// Records every key event at its virtual time; can hold keys down (the hot key that started a fill)
// and play the page behind a row of one-character boxes.
class FakeKeyboard : public Keyboard {
public:
    explicit FakeKeyboard(FakeClock& clock)
        : m_clock(clock)
    {
    }

    struct Event {
        QString text;
        bool down = false;
        std::chrono::nanoseconds at{0};
    };
    QList<Event> events;
    int releases = 0; // calls of releaseHeldKeys

    // Keys read as held for `duration` of virtual time, or until releaseHeldKeys.
    void holdKeysFor(std::chrono::nanoseconds duration) { m_heldUntil = m_clock.elapsed() + duration; }
    void holdKeys() { m_heldForever = true; }
    // After each of the next `advances` key-ups the focus moves to the next of `boxes` once `delay`
    // has passed. Each box takes the first character typed while it has the focus.
    void playBoxes(FakeAccessibility& accessibility, QList<Element> boxes, int advances,
                   std::chrono::nanoseconds delay = std::chrono::nanoseconds(0));
    // Posting `text` takes `duration` before its key-down and after its key-up, as a spare key does.
    void settleAround(const QString& text, std::chrono::nanoseconds duration) { m_settle[text] = duration; }
    // Keys the layout lacks, and keys typed off the layout (a spare key, the input method).
    void lack(const QString& texts) { m_lacking = texts; }
    void offLayout(const QString& texts) { m_offLayout = texts; }
    // Plays the application behind `field` (emptied now): each key-down's text is added to its
    // value once `keyLag` has passed, at once for a key off the layout (as an input method's).
    void deliverTo(FakeAccessibility& accessibility, const Element& field, std::chrono::nanoseconds keyLag);
    // The texts of the key-down events, joined: what the application received.
    QString typed() const;
    bool keysHeld() override { return m_heldForever || (m_heldUntil && m_clock.elapsed() < *m_heldUntil); }
    void releaseHeldKeys() override
    {
        ++releases;
        m_heldForever = false;
        m_heldUntil.reset();
    }
    QCoro::Task<> postKey(QString text, bool down) override;
    bool canType(const QString& text) const override { return !m_lacking.contains(text); }
    // What the next takeUntyped reports as having reached no application.
    QString untyped;
    QString takeUntyped() override { return std::exchange(untyped, QString()); }
    bool layoutHolds(const QString& text) override { return !m_offLayout.contains(text); }
    // When each endTyping came.
    QList<std::chrono::nanoseconds> typingEnds;
    QCoro::Task<> endTyping() override
    {
        typingEnds.append(m_clock.elapsed());
        co_return;
    }

private:
    FakeClock& m_clock;
    void deliver(const QString& text);
    void fillBox(const QString& text);

    QString m_lacking;
    QString m_offLayout;
    FakeAccessibility* m_fieldAccessibility = nullptr;
    std::optional<Element> m_field;
    std::chrono::nanoseconds m_keyLag{0};
    std::optional<std::chrono::nanoseconds> m_heldUntil;
    bool m_heldForever = false;
    FakeAccessibility* m_boxesAccessibility = nullptr;
    QList<Element> m_boxes;
    int m_advancesLeft = 0;
    int m_nextBox = 1;
    std::chrono::nanoseconds m_boxDelay{0};
    QHash<QString, std::chrono::nanoseconds> m_settle;
};

} // namespace tessary::test
