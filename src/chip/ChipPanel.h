#pragma once

#include "engine/ChipSurface.h"

#include <memory>

class QPropertyAnimation;
class QWidget;

namespace tessary {

class ChipView;

// The borderless window that floats the chip over other applications. It stays above them, takes
// clicks on its first try and never takes the keyboard focus, so typing stays where it was.
class ChipPanel final : public ChipSurface {
public:
    ChipPanel();
    ~ChipPanel() override;

    ChipModel& model() override { return m_model; }
    void place(std::optional<Rect> target) override;
    void hide() override;
    bool isVisible() const override;

    // The top-level window and its fade-in, for tests.
    QWidget& window() { return *m_window; }
    QPropertyAnimation& fade() { return *m_fade; }

private:
    ChipModel m_model; // declared first: the view observes it until the window is gone
    std::unique_ptr<QWidget> m_window;
    ChipView* m_view;
    QPropertyAnimation* m_fade;
};

} // namespace tessary
