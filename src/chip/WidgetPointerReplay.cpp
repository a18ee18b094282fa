#include "chip/WidgetPointerReplay.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QMouseEvent>

namespace tessary {

WidgetPointerReplay::WidgetPointerReplay(QWidget& root)
    : m_root(root)
{
}

void WidgetPointerReplay::entered(QPointF position)
{
    m_position = position;
    QWidget* under = m_root.childAt(position.toPoint());
    hover(under ? under : &m_root);
}

void WidgetPointerReplay::moved(QPointF position)
{
    m_position = position;
    // While a button is held the pressed widget keeps the pointer, as with Qt's implicit grab.
    if (!m_pressed)
        entered(position);
    send(QEvent::MouseMove, m_pressed ? m_pressed.data() : m_under.data(), Qt::NoButton);
}

void WidgetPointerReplay::button(Qt::MouseButton button, bool pressed)
{
    if (pressed) {
        if (!m_pressed)
            m_pressed = m_under ? m_under.data() : &m_root;
        m_buttons |= button;
        send(QEvent::MouseButtonPress, m_pressed, button);
        return;
    }
    if (!(m_buttons & button))
        return; // pressed before the pointer came in
    m_buttons &= ~button;
    // The release may run a click that rebuilds the chip: the widget pressed may be gone after it.
    send(QEvent::MouseButtonRelease, m_pressed, button);
    if (!m_buttons) {
        m_pressed = nullptr;
        entered(m_position);
    }
}

void WidgetPointerReplay::left()
{
    m_buttons = {};
    m_pressed = nullptr;
    hover(nullptr);
}

void WidgetPointerReplay::hover(QWidget* widget)
{
    if (widget == m_under)
        return;
    if (m_under) {
        m_under->setAttribute(Qt::WA_UnderMouse, false);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(m_under, &leave);
    }
    m_under = widget;
    if (!widget)
        return;
    widget->setAttribute(Qt::WA_UnderMouse, true);
    const QPointF local = widget->mapFrom(&m_root, m_position);
    QEnterEvent enter(local, local, m_position);
    QCoreApplication::sendEvent(widget, &enter);
}

void WidgetPointerReplay::send(QEvent::Type type, QWidget* target, Qt::MouseButton button)
{
    if (!target)
        return;
    const QPointF local = target->mapFrom(&m_root, m_position);
    QMouseEvent event(type, local, local, m_position, button, m_buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

} // namespace tessary
