#include "chip/ChipPanel.h"

#include "chip/ChipDesktop.h"
#include "chip/ChipView.h"

#include <QCursor>
#include <QLayout>
#include <QPropertyAnimation>
#include <QVBoxLayout>
#include <QWidget>

namespace tessary {

namespace {

constexpr int fadeInMilliseconds = 120;

} // namespace

ChipPanel::ChipPanel()
    : m_window(std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint |
                                                      Qt::WindowStaysOnTopHint |
                                                      Qt::WindowDoesNotAcceptFocus))
    , m_view(new ChipView(m_model))
    , m_fade(new QPropertyAnimation(m_window.get(), "windowOpacity", m_window.get()))
{
    m_window->setAttribute(Qt::WA_ShowWithoutActivating);
    // The rounded corners show what lies behind the chip.
    m_window->setAttribute(Qt::WA_TranslucentBackground);
    // The window is never active, and "Dismiss" should still explain the cross.
    m_window->setAttribute(Qt::WA_AlwaysShowToolTips);
    m_window->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    // Between placements the window follows the chip's size, keeping its top-left corner.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(m_view);
    m_fade->setDuration(fadeInMilliseconds);
    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
}

ChipPanel::~ChipPanel() = default;

void ChipPanel::place(std::optional<Rect> target)
{
    // The window's size is pinned to the chip's: let it catch up with the latest state first.
    m_window->layout()->activate();
    const QRect frame = chipFrameOnDesktop(m_view->sizeHint(), target, QCursor::pos(), chipAsQtSizes);
    const bool wasVisible = m_window->isVisible();
    m_window->setGeometry(frame);
    m_window->update();
    if (wasVisible)
        return;
    m_fade->stop();
    m_window->setWindowOpacity(0.0);
    m_window->show();
    m_fade->start();
}

void ChipPanel::hide()
{
    m_fade->stop();
    m_window->hide();
}

bool ChipPanel::isVisible() const
{
    return m_window->isVisible();
}

} // namespace tessary
