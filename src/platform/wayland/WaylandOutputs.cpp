#include "platform/wayland/WaylandOutputs.h"

#include "platform/wayland/WaylandDisplay.h"

#include <wayland-client.h>
#include <xdg-output-unstable-v1-client-protocol.h>

#include <algorithm>
#include <cstring>

namespace tessary {

struct WaylandOutputs::Output {
    unsigned name = 0;
    wl_output* output = nullptr;
    zxdg_output_v1* xdg = nullptr;
    QRect area; // empty until xdg-output has described it
    QRect pending;

    ~Output()
    {
        if (xdg)
            zxdg_output_v1_destroy(xdg);
        if (output)
            wl_output_destroy(output);
    }
};

namespace {

using Output = WaylandOutputs::Output;

// Only xdg-output's description is used; wl_output's own events are read and dropped.
const wl_output_listener outputListener = {
    .geometry = [](void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                   int32_t) {},
    .mode = [](void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {},
    .done = [](void*, wl_output*) {},
    .scale = [](void*, wl_output*, int32_t) {},
    .name = [](void*, wl_output*, const char*) {},
    .description = [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener xdgOutputListener = {
    .logical_position = [](void* data, zxdg_output_v1*, int32_t x,
                           int32_t y) { static_cast<Output*>(data)->pending.moveTopLeft(QPoint(x, y)); },
    .logical_size = [](void* data, zxdg_output_v1*, int32_t width,
                       int32_t height) { static_cast<Output*>(data)->pending.setSize(QSize(width, height)); },
    // Bound at version 2, xdg-output ends each description with its own done: the rectangle
    // changes only then, never half-way through a move.
    .done =
        [](void* data, zxdg_output_v1*) {
            auto* output = static_cast<Output*>(data);
            output->area = output->pending;
        },
    .name = [](void*, zxdg_output_v1*, const char*) {},
    .description = [](void*, zxdg_output_v1*, const char*) {},
};

} // namespace

WaylandOutputs::WaylandOutputs(WaylandDisplay& display)
{
    if (!display)
        return;
    static const wl_registry_listener registryListener = {
        .global =
            [](void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
                auto* self = static_cast<WaylandOutputs*>(data);
                if (std::strcmp(interface, wl_output_interface.name) == 0)
                    self->add(name, version);
            },
        .global_remove =
            [](void* data, wl_registry*, uint32_t name) {
                static_cast<WaylandOutputs*>(data)->m_outputs.removeIf(
                    [name](const std::shared_ptr<Output>& output) { return output->name == name; });
            },
    };
    m_manager = display.bind<zxdg_output_manager_v1>(zxdg_output_manager_v1_interface, 2);
    // A registry of our own on the shared connection: it announces every output, later ones too.
    m_registry = wl_display_get_registry(display.display());
    wl_registry_add_listener(m_registry, &registryListener, this);
    display.roundtrip(); // the outputs
    display.roundtrip(); // their descriptions
}

WaylandOutputs::~WaylandOutputs()
{
    m_outputs.clear();
    if (m_manager)
        zxdg_output_manager_v1_destroy(m_manager);
    if (m_registry)
        wl_registry_destroy(m_registry);
}

void WaylandOutputs::add(unsigned name, unsigned version)
{
    auto output = std::make_shared<Output>();
    output->name = name;
    output->output = static_cast<wl_output*>(
        wl_registry_bind(m_registry, name, &wl_output_interface, std::min(version, 2u)));
    wl_output_add_listener(output->output, &outputListener, output.get());
    describe(*output);
    m_outputs.append(std::move(output));
}

void WaylandOutputs::describe(Output& output)
{
    if (!m_manager)
        return;
    output.xdg = zxdg_output_manager_v1_get_xdg_output(m_manager, output.output);
    zxdg_output_v1_add_listener(output.xdg, &xdgOutputListener, &output);
}

QList<QRect> WaylandOutputs::areas() const
{
    QList<QRect> areas;
    for (const auto& output : m_outputs)
        if (!output->area.isEmpty())
            areas.append(output->area);
    return areas;
}

wl_output* WaylandOutputs::output(int index) const
{
    int seen = 0;
    for (const auto& output : m_outputs)
        if (!output->area.isEmpty() && seen++ == index)
            return output->output;
    return nullptr;
}

} // namespace tessary
