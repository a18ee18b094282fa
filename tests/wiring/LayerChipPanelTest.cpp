#include "wiring/LayerChipPanel.h"
#include "chip/ChipView.h"
#include "platform/linux/LayerSurface.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QVariantAnimation>

#include <gtest/gtest.h>

namespace tessary {
namespace {

// Keeps every picture it is given instead of showing it, and lets the test move the pointer.
class RecordingSurface : public LayerSurface {
public:
    QList<QImage> pictures;
    QPoint topLeft;
    bool shown = false;

    bool show(const QImage& image, QPoint at) override
    {
        pictures.append(image);
        topLeft = at;
        shown = true;
        return true;
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

FoundCode code(const QString& digits)
{
    FoundCode found;
    found.code = digits;
    found.senderDomain = QStringLiteral("example.com");
    return found;
}

int alphaAtCentre(const QImage& image)
{
    return qAlpha(image.pixel(image.width() / 2, image.height() / 2));
}

TEST(LayerChipPanel, DrawsEveryStateAsTheViewPaintsItAndFadesIn)
{
    RecordingSurface surface;
    LayerChipPanel panel(surface);
    const int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    panel.model().setState(ChipModel::Searching{QStringLiteral("example.com")});
    panel.place(Rect{100, 400, 150, 20});
    ASSERT_TRUE(panel.isVisible());
    EXPECT_EQ(surface.topLeft, QPoint(100, screenHeight - 400 + 4));
    EXPECT_EQ(panel.fade().duration(), 120);
    EXPECT_EQ(alphaAtCentre(surface.pictures.last()), 0);
    panel.fade().setCurrentTime(60);
    EXPECT_NEAR(alphaAtCentre(surface.pictures.last()), 128, 20);
    panel.fade().setCurrentTime(120);
    EXPECT_EQ(alphaAtCentre(surface.pictures.last()), 255);

    const QString shots = qEnvironmentVariable("TESSARY_LAYER_CHIP_SHOTS"); // for a look by eye
    const struct {
        const char* name;
        ChipModel::State state;
    } rows[] = {
        {"found", ChipModel::Found{code(QStringLiteral("12345678"))}},
        {"filled", ChipModel::Filled{code(QStringLiteral("123456"))}},
        {"failed", ChipModel::Failed{QStringLiteral("The backend could not be reached: the connection "
                                                    "timed out after 30 seconds. Try again.")}},
        {"searching", ChipModel::Searching{}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // A new state is drawn without a new placement, at full opacity once the fade is over.
        panel.model().setState(row.state);
        settle();
        ChipModel alone;
        alone.setState(row.state);
        ChipView view(alone);
        view.setAttribute(Qt::WA_DontShowOnScreen);
        view.show();
        settle();
        EXPECT_TRUE(surface.pictures.last() == view.picture(1.0, 1.0)) << "the surface shows another picture";
        EXPECT_EQ(surface.topLeft, QPoint(100, screenHeight - 400 + 4));
        if (!shots.isEmpty())
            surface.pictures.last().save(QDir(shots).filePath(QString::fromLatin1(row.name) + ".png"));
    }

    panel.hide();
    EXPECT_FALSE(surface.shown);
    panel.place(std::nullopt);
    EXPECT_EQ(panel.fade().state(), QAbstractAnimation::Running);
    const QPoint corner = QGuiApplication::primaryScreen()->availableGeometry().topLeft();
    EXPECT_EQ(surface.topLeft, corner + QPoint(12, 12));
}

TEST(LayerChipPanel, TheFirstClickReachesTheButtonUnderThePointer)
{
    const struct {
        const char* name;
        double x; // from the chip's left edge; negative from its right edge
        bool moveAwayBeforeRelease;
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
        LayerChipPanel panel(surface);
        int fills = 0;
        int closes = 0;
        panel.model().onFill = [&] { ++fills; };
        panel.model().onClose = [&] { ++closes; };
        panel.model().setState(ChipModel::Found{code(QStringLiteral("482913"))});
        panel.place(Rect{100, 400, 150, 20});
        panel.fade().setCurrentTime(120);
        const QSize size = surface.pictures.last().size();
        const double x = row.x < 0 ? size.width() + row.x : row.x < 1 ? size.width() * row.x : row.x;
        const QPointF at(x, size.height() / 2.0);

        const LayerSurface::PointerHandlers& pointer = surface.pointer();
        pointer.entered(at);
        pointer.button(Qt::LeftButton, true);
        const qsizetype drawn = surface.pictures.size();
        settle();
        // A pressed button looks pressed.
        if (row.fills || row.moveAwayBeforeRelease) {
            ASSERT_GT(surface.pictures.size(), drawn);
            EXPECT_TRUE(surface.pictures.last() != surface.pictures[drawn - 1]) << "drawn the same";
        }
        if (row.moveAwayBeforeRelease)
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
