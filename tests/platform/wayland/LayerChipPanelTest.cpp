#include "platform/wayland/LayerChipPanel.h"
#include "chip/ChipParts.h"
#include "chip/ChipView.h"
#include "platform/wayland/LayerSurface.h"

#include <QApplication>
#include <QScreen>
#include <QVariantAnimation>

#include <gtest/gtest.h>

namespace tessary {
namespace {

// Keeps every picture it is given instead of showing it, and lets the test move the pointer.
struct RecordingSurface : LayerSurface {
    QList<QImage> pictures;
    QPoint topLeft;
    bool shown = false;
    bool show(const QImage& image, QPoint at) override
    {
        pictures.append(image);
        topLeft = at;
        return shown = true;
    }
    void hide() override { shown = false; }
    bool isShown() const override { return shown; }
    const PointerHandlers& pointer() const { return m_pointer; }
};

void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

ChipModel::Found found()
{
    return {FoundCode{"482913", "", "example.com", distantPast, 0, {}}};
}

TEST(LayerChipPanel, DrawsEveryStateAsTheViewPaintsItAndFadesIn)
{
    RecordingSurface surface;
    LayerChipPanel panel(surface, chipAsQtSizes);
    const QPoint underField(100, 424);
    panel.model().setState(ChipModel::Searching{QStringLiteral("example.com")});
    panel.place(Rect{100, 400, 150, 20});
    EXPECT_TRUE(panel.isVisible());
    for (int at : {0, 60, 120}) { // milliseconds into the fade
        panel.fade().setCurrentTime(at);
        EXPECT_NEAR(qAlpha(surface.pictures.last().pixel(20, 15)), 255 * at / 120, 20) << at << " ms";
    }

    const ChipModel::State states[] = {
        found(), ChipModel::Filled{found().code}, ChipModel::Searching{},
        ChipModel::Failed{QStringLiteral("The backend could not be reached: the connection timed out "
                                         "after 30 seconds. Try again.")}};
    for (const ChipModel::State& state : states) {
        SCOPED_TRACE(chipContent(state).text.toStdString());
        // A new state is drawn without a new placement, the top-left corner kept.
        panel.model().setState(state);
        settle();
        ChipModel alone;
        alone.setState(state);
        ChipView view(alone);
        view.setAttribute(Qt::WA_DontShowOnScreen);
        view.show();
        settle();
        EXPECT_TRUE(surface.pictures.last() == view.picture(1.0, 1.0)) << "the surface shows another picture";
        EXPECT_EQ(surface.topLeft, underField);
    }

    // Shown again after a hide, it fades in again; without a field, near the top-left corner.
    panel.hide();
    EXPECT_FALSE(surface.shown);
    panel.place(std::nullopt);
    EXPECT_EQ(qAlpha(surface.pictures.last().pixel(20, 15)), 0);
    EXPECT_EQ(surface.topLeft,
              QGuiApplication::primaryScreen()->availableGeometry().topLeft() + QPoint(12, 12));
}

TEST(LayerChipPanel, ASurfaceTheCompositorClosedStaysClosedAndItsSpinnerStops)
{
    for (const int closedAt : {60, 120}) { // milliseconds into the fade: during it, after it
        SCOPED_TRACE(closedAt);
        RecordingSurface surface;
        LayerChipPanel panel(surface, chipAsQtSizes);
        panel.model().setState(ChipModel::Searching{QStringLiteral("example.com")});
        panel.place(Rect{100, 400, 150, 20});
        settle();
        Spinner* spinner = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets())
            spinner = spinner ? spinner : window->findChild<Spinner*>();
        ASSERT_TRUE(spinner && spinner->isSpinning());
        panel.fade().setCurrentTime(closedAt);
        surface.hide(); // by the compositor
        const qsizetype drawn = surface.pictures.size();
        panel.fade().setCurrentTime(std::min(closedAt + 30, 120));
        spinner->update(); // its next turn
        settle();
        settle();
        EXPECT_FALSE(surface.shown) << "opened again";
        EXPECT_EQ(surface.pictures.size(), drawn);
        EXPECT_FALSE(spinner->isSpinning());
    }
}

TEST(LayerChipPanel, TheFirstClickReachesTheButtonUnderThePointer)
{
    const struct {
        const char* name;
        double x; // from the chip's left edge; below 1, a share of its width; negative, from its right edge
        bool letGoElsewhere;
        int fills;
        int closes;
    } rows[] = {
        {"Fill", 15, false, 1, 0},
        {"the cross", -14, false, 0, 1},
        {"Fill, let go elsewhere", 15, true, 0, 0},
        {"the code", 0.5, false, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingSurface surface;
        LayerChipPanel panel(surface, chipAsQtSizes);
        int fills = 0, closes = 0;
        panel.model().onFill = [&] { ++fills; };
        panel.model().onClose = [&] { ++closes; };
        panel.model().setState(found());
        panel.place(Rect{100, 400, 150, 20});
        panel.fade().setCurrentTime(120);
        const QSize size = surface.pictures.last().size();
        const double x = row.x < 0 ? size.width() + row.x : row.x < 1 ? size.width() * row.x : row.x;

        const LayerSurface::PointerHandlers& pointer = surface.pointer();
        pointer.entered(QPointF(x, size.height() / 2.0));
        pointer.button(Qt::LeftButton, true);
        const QImage before = surface.pictures.last();
        settle();
        if (row.fills || row.letGoElsewhere) { // a pressed button looks pressed
            EXPECT_TRUE(surface.pictures.last() != before) << "not drawn again";
        }
        if (row.letGoElsewhere)
            pointer.moved(QPointF(size.width() / 2.0, size.height() + 40));
        pointer.button(Qt::LeftButton, false);
        pointer.left();
        settle();
        EXPECT_EQ(fills, row.fills);
        EXPECT_EQ(closes, row.closes);
    }
}

} // namespace
} // namespace tessary
