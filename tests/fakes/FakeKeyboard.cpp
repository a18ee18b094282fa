#include "fakes/FakeKeyboard.h"

namespace tessary::test {

void FakeKeyboard::playBoxes(FakeAccessibility& accessibility, QList<Element> boxes, int advances,
                             std::chrono::nanoseconds delay)
{
    m_boxesAccessibility = &accessibility;
    m_boxes = std::move(boxes);
    m_advancesLeft = advances;
    m_nextBox = 1;
    m_boxDelay = delay;
}

void FakeKeyboard::deliverTo(FakeAccessibility& accessibility, const Element& field,
                             std::chrono::nanoseconds keyLag)
{
    m_fieldAccessibility = &accessibility;
    m_field = field;
    m_keyLag = keyLag;
    accessibility.setAttribute(field, QStringLiteral("AXValue"), QString());
}

void FakeKeyboard::deliver(const QString& text)
{
    m_fieldAccessibility->setAttribute(*m_field, QStringLiteral("AXValue"),
                                       m_fieldAccessibility->text(*m_field).value_or(QString()) + text);
}

void FakeKeyboard::fillBox(const QString& text)
{
    const std::optional<Element> box = m_boxesAccessibility->focus();
    if (box && m_boxes.contains(*box) && m_boxesAccessibility->text(*box).value_or(QString()).isEmpty())
        m_boxesAccessibility->setAttribute(*box, QStringLiteral("AXValue"), text);
}

QString FakeKeyboard::typed() const
{
    QString text;
    for (const Event& event : events)
        if (event.down)
            text += event.text;
    return text;
}

QCoro::Task<> FakeKeyboard::postKey(QString text, bool down)
{
    const std::chrono::nanoseconds settle = m_settle.value(text);
    if (down && settle.count() > 0)
        co_await m_clock.sleep(settle);
    events.append(Event{text, down, m_clock.elapsed()});
    if (down && m_boxesAccessibility)
        fillBox(text);
    if (down && m_field && (m_keyLag.count() == 0 || !layoutHolds(text)))
        deliver(text);
    else if (down && m_field)
        m_clock.schedule(m_keyLag, [this, text] { deliver(text); });
    if (!down && settle.count() > 0)
        co_await m_clock.sleep(settle);
    if (down || !m_boxesAccessibility || m_advancesLeft <= 0 || m_nextBox >= m_boxes.size())
        co_return;
    --m_advancesLeft;
    const Element next = m_boxes.at(m_nextBox++);
    FakeAccessibility* accessibility = m_boxesAccessibility;
    if (m_boxDelay.count() == 0)
        accessibility->setFocus(next);
    else
        m_clock.schedule(m_boxDelay, [accessibility, next] { accessibility->setFocus(next); });
}

} // namespace tessary::test
