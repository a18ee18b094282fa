#pragma once

#include <QEvent>
#include <QPointF>
#include <QPointer>
#include <QWidget>

namespace tessary {

// Pointer events from a surface Qt does not own, handed to a widget tree Qt lays out but never
// shows, the way Qt hands its own: enter and leave as the pointer crosses widgets, a press to the
// widget under the pointer, and moves and the release to the widget pressed until every button is
// up. Positions are in the root widget's pixels.
class WidgetPointerReplay {
public:
    explicit WidgetPointerReplay(QWidget& root);

    void entered(QPointF position);
    void moved(QPointF position);
    void button(Qt::MouseButton button, bool pressed);
    void left();

private:
    void hover(QWidget* widget);
    void send(QEvent::Type type, QWidget* target, Qt::MouseButton button);

    QWidget& m_root;
    QPointer<QWidget> m_under;
    QPointer<QWidget> m_pressed;
    Qt::MouseButtons m_buttons;
    QPointF m_position;
};

} // namespace tessary
