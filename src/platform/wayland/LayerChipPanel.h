#pragma once

#include "chip/ChipDesktop.h"
#include "chip/WidgetPointerReplay.h"
#include "engine/ChipSurface.h"

#include <QObject>
#include <QPoint>

#include <memory>

class QVariantAnimation;
class QWidget;

namespace tessary {

class ChipView;
class LayerSurface;

// The chip where Qt cannot place a window of its own nor keep it from taking the focus (sway and
// other wlroots compositors): the same view as ChipPanel's, laid out by Qt but never shown by it,
// drawn into a picture on a layer surface, with the surface's pointer events fed back to the view
// so the first click on Fill or the cross works. It fades in as ChipPanel does. `drawing` says how
// the surface's desktop sizes the picture, so the chip fits where it is drawn.
class LayerChipPanel final : public QObject, public ChipSurface {
public:
    LayerChipPanel(LayerSurface& surface, ChipDrawing drawing);
    ~LayerChipPanel() override;

    ChipModel& model() override { return m_model; }
    void place(std::optional<Rect> target) override;
    void hide() override;
    bool isVisible() const override;

    // The fade-in, for tests.
    QVariantAnimation& fade() { return *m_fade; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void draw();

    ChipModel m_model; // declared first: the view observes it until the window is gone
    LayerSurface& m_surface;
    ChipDrawing m_drawing;
    std::unique_ptr<QWidget> m_window;
    ChipView* m_view;
    QVariantAnimation* m_fade;
    WidgetPointerReplay m_pointer;
    QPoint m_topLeft;
    bool m_drawQueued = false;
    bool m_onScreen = false; // our last picture went up: a surface not shown since, the compositor closed
};

} // namespace tessary
