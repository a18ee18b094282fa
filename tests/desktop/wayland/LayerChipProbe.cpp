// layer-chip-probe: the chip on this session's layer shell, for the sway desktop test.
//   layer-chip-probe show X Y WIDTH HEIGHT PICTURE.png
//     shows the "found" chip under the field at X,Y (top-left desktop pixels); once faded in, saves
//     the picture it put on screen and prints "shown LEFT TOP"; prints "filled" on a click on Fill.
//   layer-chip-probe compare SCREENSHOT.png PICTURE.png LEFT TOP
//     exits 0 when the picture's opaque pixels are on the screenshot exactly at LEFT,TOP.
#include "chip/ChipPlacement.h"
#include "platform/linux/WaylandDisplay.h"
#include "platform/linux/WaylandLayerSurface.h"
#include "wiring/LayerChipPanel.h"

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTextStream>
#include <QVariantAnimation>

#include <cstdlib>

using namespace tessary;

namespace {

// Passes everything on to the real surface and keeps the last picture.
class KeepingSurface : public LayerSurface {
public:
    explicit KeepingSurface(LayerSurface& shown)
        : m_shown(shown)
    {
    }
    QImage picture;
    QPoint topLeft;

    bool show(const QImage& image, QPoint at) override
    {
        picture = image;
        topLeft = at;
        m_shown.setPointerHandlers(m_pointer);
        return m_shown.show(image, at);
    }
    void hide() override { m_shown.hide(); }
    bool isShown() const override { return m_shown.isShown(); }

private:
    LayerSurface& m_shown;
};

int show(const QStringList& args)
{
    WaylandDisplay display;
    // Headless sway has no pointer device; a desktop has one all along. Without it, the seat would
    // offer a pointer only while wayland-click's own device lives, and its click could come before
    // the chip had asked for the pointer.
    auto* pointers =
        display.bind<zwlr_virtual_pointer_manager_v1>(zwlr_virtual_pointer_manager_v1_interface, 1);
    if (pointers) {
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointers, nullptr);
        display.roundtrip();
    }
    WaylandLayerSurface wayland(display);
    QTextStream out(stdout);
    if (!wayland.available()) {
        QTextStream(stderr) << "no layer shell in this session\n";
        return 1;
    }
    KeepingSurface surface(wayland);
    LayerChipPanel panel(surface);
    FoundCode found;
    found.code = QStringLiteral("482913");
    found.senderDomain = QStringLiteral("example.com");
    panel.model().setState(ChipModel::Found{found});
    panel.model().onFill = [&] { out << "filled" << Qt::endl; };
    QObject::connect(&panel.fade(), &QAbstractAnimation::finished, [&] {
        surface.picture.save(args[5]);
        out << "shown " << surface.topLeft.x() << ' ' << surface.topLeft.y() << Qt::endl;
    });
    const QRectF field(args[1].toInt(), args[2].toInt(), args[3].toInt(), args[4].toInt());
    panel.place(flipped(toRect(field), QGuiApplication::primaryScreen()->geometry().height()));
    return QApplication::exec();
}

int compare(const QStringList& args)
{
    const QImage shot = QImage(args[1]).convertToFormat(QImage::Format_ARGB32);
    const QImage chip = QImage(args[2]).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QPoint at(args[3].toInt(), args[4].toInt());
    int opaque = 0;
    for (int y = 0; y < chip.height(); ++y)
        for (int x = 0; x < chip.width(); ++x)
            opaque += qAlpha(chip.pixel(x, y)) == 255;
    const auto mismatches = [&](QPoint offset) {
        int wrong = 0;
        for (int y = 0; y < chip.height(); ++y)
            for (int x = 0; x < chip.width(); ++x) {
                const QRgb want = chip.pixel(x, y);
                if (qAlpha(want) != 255)
                    continue;
                const QPoint p = at + offset + QPoint(x, y);
                const QRgb got = shot.valid(p) ? shot.pixel(p) : 0;
                wrong += std::abs(qRed(got) - qRed(want)) > 2 || std::abs(qGreen(got) - qGreen(want)) > 2 ||
                         std::abs(qBlue(got) - qBlue(want)) > 2;
            }
        return wrong;
    };
    const int here = mismatches({});
    // A picture one pixel off must not pass: the chip is not one flat colour.
    const int off = std::min(mismatches({1, 0}), mismatches({0, 1}));
    QTextStream(stdout) << opaque << " opaque pixels, " << here << " differ in place, " << off
                        << " one pixel off\n";
    return opaque > 0 && here == 0 && off > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList args = application.arguments().mid(1);
    if (args.size() == 6 && args[0] == QLatin1String("show"))
        return show(args);
    if (args.size() == 5 && args[0] == QLatin1String("compare"))
        return compare(args);
    QTextStream(stderr) << "usage: layer-chip-probe show X Y WIDTH HEIGHT PICTURE.png\n"
                           "       layer-chip-probe compare SCREENSHOT.png PICTURE.png LEFT TOP\n";
    return 2;
}
