#pragma once

#include "platform/wayland/LayerSurface.h"
#include "platform/wayland/WaylandOutputs.h"

#include <memory>
#include <vector>

struct wl_compositor;
struct wl_output;
struct wl_pointer;
struct wl_seat;
struct wl_shm;
struct wl_surface;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

namespace tessary {

class WaylandDisplay;

// A LayerSurface on the wlr layer shell: an overlay-layer surface anchored at its output's top-left
// corner with margins for the position, which the compositor never gives the keyboard and which
// pushes no window aside. The picture goes through shared-memory buffers, a fresh one while the
// compositor still reads the last.
class WaylandLayerSurface final : public LayerSurface {
public:
    // `layerNamespace` tells the compositor what the surface is for; KWin gives the keyboard to a
    // clicked layer surface unless it is a "dock".
    explicit WaylandLayerSurface(WaylandDisplay& display, QByteArray layerNamespace = "tessary-chip");
    ~WaylandLayerSurface() override;

    // False when the compositor lacks the layer shell (GNOME, KDE) or shared memory.
    bool available() const;

    bool show(const QImage& image, QPoint topLeft) override;
    void hide() override;
    bool isShown() const override { return m_layer != nullptr; }

    struct Buffer;

private:
    void configured(unsigned serial);
    void commitImage();
    Buffer* freeBuffer(QSize pixels);
    void seatCapabilities(unsigned capabilities);
    void pointerAt(wl_surface* surface, QPointF position, bool entering);

    WaylandDisplay& m_display;
    QByteArray m_namespace;
    WaylandOutputs m_outputs;
    wl_compositor* m_compositor = nullptr;
    wl_shm* m_shm = nullptr;
    zwlr_layer_shell_v1* m_shell = nullptr;
    wl_seat* m_seat = nullptr;
    wl_pointer* m_pointerDevice = nullptr;

    wl_surface* m_surface = nullptr;
    zwlr_layer_surface_v1* m_layer = nullptr;
    wl_output* m_onOutput = nullptr;
    bool m_configured = false;
    bool m_pointerInside = false;
    QImage m_image;
    QPoint m_margin;
    std::vector<std::unique_ptr<Buffer>> m_buffers;

    friend struct WaylandLayerSurfaceListeners;
};

} // namespace tessary
