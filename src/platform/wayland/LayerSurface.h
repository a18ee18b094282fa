#pragma once

#include <QImage>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QRect>

#include <functional>
#include <optional>

namespace tessary {

// A picture floated above every window at a given place on the desktop, which never takes the
// keyboard and tells its owner what the pointer does over it. On wlroots compositors it is a layer
// surface (WaylandLayerSurface); tests stand in for it.
class LayerSurface {
public:
    // What the pointer did, in the surface's own logical pixels (top-left origin).
    struct PointerHandlers {
        std::function<void(QPointF)> entered;
        std::function<void(QPointF)> moved;
        std::function<void(Qt::MouseButton, bool pressed)> button;
        std::function<void()> left;
    };

    LayerSurface() = default;
    LayerSurface(const LayerSurface&) = delete;
    LayerSurface& operator=(const LayerSurface&) = delete;
    virtual ~LayerSurface() = default;

    // Shows `image` (premultiplied ARGB32; its device pixel ratio is the buffer's scale) with its
    // top-left corner at `topLeft` in desktop coordinates, or moves and redraws it when shown.
    // False when there is nothing to show it with.
    virtual bool show(const QImage& image, QPoint topLeft) = 0;
    // Takes the picture off the screen.
    virtual void hide() = 0;
    // False once hidden, also when the compositor took the surface away.
    virtual bool isShown() const = 0;

    void setPointerHandlers(PointerHandlers handlers) { m_pointer = std::move(handlers); }

protected:
    PointerHandlers m_pointer;
};

// Where a surface anchored at an output's top-left corner goes so that it lands at `topLeft` on the
// desktop: the output holding that point (else the one nearest to it) and the offset from that
// output's corner, kept inside it. None without outputs.
struct OutputPlacement {
    int output = 0; // index into the outputs
    QPoint margin;
    bool operator==(const OutputPlacement&) const = default;
};
std::optional<OutputPlacement> placeOnOutputs(const QList<QRect>& outputs, QPoint topLeft);

} // namespace tessary
