#pragma once

#include <QList>
#include <QRect>

#include <memory>

struct wl_output;
struct wl_registry;
struct zxdg_output_manager_v1;

namespace tessary {

class WaylandDisplay;

// The compositor's outputs and where each lies on the desktop, kept current as outputs come and go.
// wl_output alone does not say where (wlroots reports every output at 0,0); xdg-output does, in the
// same logical pixels Qt's screens use.
class WaylandOutputs {
public:
    explicit WaylandOutputs(WaylandDisplay& display);
    ~WaylandOutputs();
    WaylandOutputs(const WaylandOutputs&) = delete;
    WaylandOutputs& operator=(const WaylandOutputs&) = delete;

    // Each output's desktop rectangle, in the order output() takes; outputs not yet described are
    // left out.
    QList<QRect> areas() const;
    wl_output* output(int index) const;

    struct Output;

private:
    void add(unsigned name, unsigned version);
    void describe(Output& output);

    wl_registry* m_registry = nullptr;
    zxdg_output_manager_v1* m_manager = nullptr;
    QList<std::shared_ptr<Output>> m_outputs;
};

} // namespace tessary
