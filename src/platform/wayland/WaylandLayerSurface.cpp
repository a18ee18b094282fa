#include "platform/wayland/WaylandLayerSurface.h"

#include "platform/wayland/WaylandDisplay.h"

#include <wayland-client.h>
// The protocol names an argument "namespace", a C++ keyword; the generated C is compiled as C++ here.
#define namespace layerNamespace
#include <wlr-layer-shell-unstable-v1-client-protocol.h>
#undef namespace

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace tessary {

// One shared-memory picture the compositor may read until it releases it.
struct WaylandLayerSurface::Buffer {
    wl_buffer* buffer = nullptr;
    uchar* data = nullptr;
    size_t size = 0;
    QSize pixels;
    bool busy = false;

    ~Buffer()
    {
        if (buffer)
            wl_buffer_destroy(buffer);
        if (data)
            munmap(data, size);
    }
};

// The C callbacks, with the access they need.
struct WaylandLayerSurfaceListeners {
    using Self = WaylandLayerSurface;
    static Self& self(void* data) { return *static_cast<Self*>(data); }

    static constexpr wl_buffer_listener buffer = {
        .release = [](void* data, wl_buffer*) { static_cast<Self::Buffer*>(data)->busy = false; },
    };
    static constexpr zwlr_layer_surface_v1_listener layer = {
        .configure = [](void* data, zwlr_layer_surface_v1*, uint32_t serial, uint32_t,
                        uint32_t) { self(data).configured(serial); },
        // The compositor took the surface away (its output went): the picture is hidden.
        .closed = [](void* data, zwlr_layer_surface_v1*) { self(data).hide(); },
    };
    static constexpr wl_seat_listener seat = {
        .capabilities = [](void* data, wl_seat*, uint32_t caps) { self(data).seatCapabilities(caps); },
        .name = [](void*, wl_seat*, const char*) {},
    };
    static constexpr wl_pointer_listener pointer = {
        .enter =
            [](void* data, wl_pointer*, uint32_t, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
                self(data).pointerAt(surface, {wl_fixed_to_double(x), wl_fixed_to_double(y)}, true);
            },
        .leave =
            [](void* data, wl_pointer*, uint32_t, wl_surface*) {
                Self& s = self(data);
                if (std::exchange(s.m_pointerInside, false) && s.m_pointer.left)
                    s.m_pointer.left();
            },
        .motion =
            [](void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
                self(data).pointerAt(nullptr, {wl_fixed_to_double(x), wl_fixed_to_double(y)}, false);
            },
        .button =
            [](void* data, wl_pointer*, uint32_t, uint32_t, uint32_t code, uint32_t state) {
                Self& s = self(data);
                const Qt::MouseButton button = code == BTN_LEFT     ? Qt::LeftButton
                                               : code == BTN_RIGHT  ? Qt::RightButton
                                               : code == BTN_MIDDLE ? Qt::MiddleButton
                                                                    : Qt::NoButton;
                if (s.m_pointerInside && button != Qt::NoButton && s.m_pointer.button)
                    s.m_pointer.button(button, state == WL_POINTER_BUTTON_STATE_PRESSED);
            },
        .axis = [](void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {},
        .frame = [](void*, wl_pointer*) {},
        .axis_source = [](void*, wl_pointer*, uint32_t) {},
        .axis_stop = [](void*, wl_pointer*, uint32_t, uint32_t) {},
        .axis_discrete = [](void*, wl_pointer*, uint32_t, int32_t) {},
        .axis_value120 = [](void*, wl_pointer*, uint32_t, int32_t) {},
    };
};

WaylandLayerSurface::WaylandLayerSurface(WaylandDisplay& display, QByteArray layerNamespace)
    : m_display(display)
    , m_namespace(std::move(layerNamespace))
    , m_outputs(display)
{
    m_compositor = display.bind<wl_compositor>(wl_compositor_interface, 4);
    m_shm = display.bind<wl_shm>(wl_shm_interface, 1);
    m_shell = display.bind<zwlr_layer_shell_v1>(zwlr_layer_shell_v1_interface, 2);
    // Version 5 at most: the pointer events handled above are those of version 5.
    m_seat = display.bind<wl_seat>(wl_seat_interface, 5);
    if (m_seat)
        wl_seat_add_listener(m_seat, &WaylandLayerSurfaceListeners::seat, this);
    display.roundtrip();
}

WaylandLayerSurface::~WaylandLayerSurface()
{
    hide();
    m_buffers.clear();
    if (m_pointerDevice)
        wl_pointer_destroy(m_pointerDevice);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_shell)
        zwlr_layer_shell_v1_destroy(m_shell);
    if (m_shm)
        wl_shm_destroy(m_shm);
    if (m_compositor)
        wl_compositor_destroy(m_compositor);
    m_display.flush();
}

bool WaylandLayerSurface::available() const
{
    return m_display && m_compositor && m_shm && m_shell;
}

bool WaylandLayerSurface::show(const QImage& image, QPoint topLeft)
{
    if (!available() || image.isNull())
        return false;
    wl_output* output = nullptr; // the compositor's choice, when it describes no outputs
    QPoint margin = topLeft;
    if (const auto placement = placeOnOutputs(m_outputs.areas(), topLeft)) {
        output = m_outputs.output(placement->output);
        margin = placement->margin;
    }
    // A layer surface stays on the output it was made for.
    if (m_layer && output != m_onOutput)
        hide();
    m_image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    m_margin = margin;
    if (m_layer) {
        if (m_configured)
            commitImage();
        return true;
    }

    m_surface = wl_compositor_create_surface(m_compositor);
    m_layer = zwlr_layer_shell_v1_get_layer_surface(
        m_shell, m_surface, output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, m_namespace.constData());
    m_onOutput = output;
    zwlr_layer_surface_v1_add_listener(m_layer, &WaylandLayerSurfaceListeners::layer, this);
    zwlr_layer_surface_v1_set_anchor(m_layer,
                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT);
    // Measured from the output's very edge, whatever panels reserve; and no window moves for it.
    zwlr_layer_surface_v1_set_exclusive_zone(m_layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(m_layer,
                                                     ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    const int scale = std::max(1, int(std::lround(m_image.devicePixelRatio())));
    zwlr_layer_surface_v1_set_size(m_layer, m_image.width() / scale, m_image.height() / scale);
    zwlr_layer_surface_v1_set_margin(m_layer, m_margin.y(), 0, 0, m_margin.x());
    // The first commit carries no picture: the compositor answers it with a configure.
    m_configured = false;
    wl_surface_commit(m_surface);
    m_display.flush();
    return true;
}

void WaylandLayerSurface::hide()
{
    if (m_layer)
        zwlr_layer_surface_v1_destroy(std::exchange(m_layer, nullptr));
    if (m_surface)
        wl_surface_destroy(std::exchange(m_surface, nullptr));
    m_onOutput = nullptr;
    m_configured = false;
    m_display.flush();
    if (std::exchange(m_pointerInside, false) && m_pointer.left)
        m_pointer.left();
}

void WaylandLayerSurface::configured(unsigned serial)
{
    zwlr_layer_surface_v1_ack_configure(m_layer, serial);
    // Later configures only confirm the size the last picture asked for; the next picture's commit
    // carries the acknowledgement.
    if (!std::exchange(m_configured, true))
        commitImage();
}

void WaylandLayerSurface::commitImage()
{
    Buffer* buffer = freeBuffer(m_image.size());
    if (!buffer)
        return;
    const qsizetype rowBytes = qsizetype(m_image.width()) * 4;
    for (int y = 0; y < m_image.height(); ++y)
        std::memcpy(buffer->data + y * rowBytes, m_image.constScanLine(y), size_t(rowBytes));
    const int scale = std::max(1, int(std::lround(m_image.devicePixelRatio())));
    zwlr_layer_surface_v1_set_size(m_layer, m_image.width() / scale, m_image.height() / scale);
    zwlr_layer_surface_v1_set_margin(m_layer, m_margin.y(), 0, 0, m_margin.x());
    wl_surface_set_buffer_scale(m_surface, scale);
    wl_surface_attach(m_surface, buffer->buffer, 0, 0);
    wl_surface_damage(m_surface, 0, 0, INT32_MAX, INT32_MAX);
    buffer->busy = true;
    wl_surface_commit(m_surface);
    m_display.flush();
}

WaylandLayerSurface::Buffer* WaylandLayerSurface::freeBuffer(QSize pixels)
{
    // Pictures of another size are of no more use once the compositor is done with them.
    std::erase_if(m_buffers, [&](const auto& buffer) { return !buffer->busy && buffer->pixels != pixels; });
    for (const auto& buffer : m_buffers)
        if (!buffer->busy)
            return buffer.get();

    auto made = std::make_unique<Buffer>();
    made->pixels = pixels;
    made->size = size_t(pixels.width()) * size_t(pixels.height()) * 4;
    const int fd = memfd_create("tessary-chip", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (ftruncate(fd, off_t(made->size)) < 0) {
        close(fd);
        return nullptr;
    }
    void* data = mmap(nullptr, made->size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    made->data = static_cast<uchar*>(data);
    wl_shm_pool* pool = wl_shm_create_pool(m_shm, fd, int32_t(made->size));
    // ARGB8888 is premultiplied, 32 bits in the machine's byte order: QImage's ARGB32_Premultiplied.
    made->buffer = wl_shm_pool_create_buffer(pool, 0, pixels.width(), pixels.height(), pixels.width() * 4,
                                             WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_buffer_add_listener(made->buffer, &WaylandLayerSurfaceListeners::buffer, made.get());
    m_buffers.push_back(std::move(made));
    return m_buffers.back().get();
}

void WaylandLayerSurface::seatCapabilities(unsigned capabilities)
{
    const bool hasPointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    if (hasPointer && !m_pointerDevice) {
        m_pointerDevice = wl_seat_get_pointer(m_seat);
        wl_pointer_add_listener(m_pointerDevice, &WaylandLayerSurfaceListeners::pointer, this);
    } else if (!hasPointer && m_pointerDevice) {
        wl_pointer_release(std::exchange(m_pointerDevice, nullptr));
        m_pointerInside = false;
    }
}

void WaylandLayerSurface::pointerAt(wl_surface* surface, QPointF position, bool entering)
{
    if (entering) {
        // The seat's pointer also enters Qt's own windows; only ours counts here.
        m_pointerInside = surface && surface == m_surface;
        if (m_pointerInside && m_pointer.entered)
            m_pointer.entered(position);
    } else if (m_pointerInside && m_pointer.moved) {
        m_pointer.moved(position);
    }
}

} // namespace tessary
