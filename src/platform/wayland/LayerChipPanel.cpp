#include "platform/wayland/LayerChipPanel.h"

#include "chip/ChipDesktop.h"
#include "chip/ChipView.h"
#include "platform/wayland/LayerSurface.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <QWidget>

#include <cmath>

namespace tessary {

namespace {

constexpr int fadeInMilliseconds = 120;

} // namespace

LayerChipPanel::LayerChipPanel(LayerSurface& surface, ChipDrawing drawing)
    : m_surface(surface)
    , m_drawing(std::move(drawing))
    , m_window(std::make_unique<QWidget>())
    , m_view(new ChipView(m_model))
    , m_fade(new QVariantAnimation(this))
    , m_pointer(*m_view)
{
    // Shown to Qt, so it is polished and laid out and its spinner turns, but never put on screen:
    // the layer surface shows its picture instead.
    m_window->setAttribute(Qt::WA_DontShowOnScreen);
    m_window->setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(m_view);
    // Whatever in the chip asks to be painted again (a new state, a pressed button, the spinner)
    // reaches the top-level window as an update request.
    m_window->installEventFilter(this);

    m_fade->setDuration(fadeInMilliseconds);
    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
    connect(m_fade, &QVariantAnimation::valueChanged, this, [this] { draw(); });

    m_surface.setPointerHandlers({
        .entered = [this](QPointF at) { m_pointer.entered(at); },
        .moved = [this](QPointF at) { m_pointer.moved(at); },
        .button = [this](Qt::MouseButton button, bool pressed) { m_pointer.button(button, pressed); },
        .left = [this] { m_pointer.left(); },
    });
}

LayerChipPanel::~LayerChipPanel()
{
    m_surface.setPointerHandlers({});
    m_surface.hide();
}

void LayerChipPanel::place(std::optional<Rect> target)
{
    // Wayland tells no one where the pointer is: without a target the chip goes near the top-left
    // corner of the primary screen's usable area.
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QPoint corner = primary ? primary->availableGeometry().topLeft() : QPoint();
    m_window->show();
    m_window->layout()->activate();
    m_topLeft = chipFrameOnDesktop(m_view->sizeHint(), target, corner, m_drawing).topLeft();
    if (!m_surface.isShown()) {
        m_onScreen = false;
        m_fade->stop();
        m_fade->start(); // draws the first, transparent picture
    }
    draw();
}

void LayerChipPanel::hide()
{
    m_onScreen = false;
    m_fade->stop();
    m_surface.hide();
    m_window->hide();
}

bool LayerChipPanel::isVisible() const
{
    return m_surface.isShown();
}

bool LayerChipPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window.get() && event->type() == QEvent::UpdateRequest && !m_drawQueued) {
        // Several requests in one pass of the event loop make one picture.
        m_drawQueued = true;
        QTimer::singleShot(0, this, [this] { draw(); });
    }
    return QObject::eventFilter(watched, event);
}

void LayerChipPanel::draw()
{
    m_drawQueued = false;
    if (!m_window->isVisible())
        return;
    // Once the compositor took the surface away, nothing but a new placement brings the chip back:
    // the fade ends and the spinner stops with the window.
    if (m_onScreen && !m_surface.isShown())
        return hide();
    // The view follows the latest state first; its top-left corner stays where it was placed.
    m_window->layout()->activate();
    const QScreen* screen = QGuiApplication::screenAt(m_topLeft);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    // Buffers scale by whole numbers; a fractional screen gets the next one up.
    const qreal scale = screen ? std::ceil(screen->devicePixelRatio()) : 1.0;
    const qreal opacity =
        m_fade->state() == QAbstractAnimation::Running ? m_fade->currentValue().toReal() : 1.0;
    m_onScreen = m_surface.show(m_view->picture(opacity, scale), m_topLeft);
    if (!m_onScreen)
        m_window->hide();
}

} // namespace tessary
