#pragma once

#include "platform/wayland/LayerSurface.h"

#include <QObject>

#include <memory>

namespace tessary {

class GnomeShell;

// The chip's picture drawn by GNOME Shell above every window, through the extension, which puts
// it in the shell's top chrome: it never takes the keyboard focus, and the pointer's moves and
// clicks over it come back here.
class GnomePictureSurface final : public LayerSurface {
public:
    explicit GnomePictureSurface(std::shared_ptr<GnomeShell> shell);
    ~GnomePictureSurface() override;

    bool show(const QImage& image, QPoint topLeft) override;
    void hide() override;
    bool isShown() const override { return m_shown; }

private:
    std::shared_ptr<GnomeShell> m_shell;
    QObject m_context; // ends the pointer connection with the surface
    bool m_shown = false;
};

} // namespace tessary
