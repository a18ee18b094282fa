// layer-chip-probe show X Y WIDTH HEIGHT STATE: the chip in STATE (found, searching, filled, failed,
// waitingForLink, link) on this session's layer shell, or GNOME Shell's top chrome, under the field
// at X,Y (top-left desktop pixels); prints "shown" once faded in, "fill" on a click on Fill.
// layer-chip-probe compare SCREENSHOT.png LEFT TOP STATE SCALE: 0 when the chip's opaque pixels,
// drawn SCALE device pixels to a pixel, are at LEFT,TOP; compare-above takes LEFT,BOTTOM instead,
// compare-right RIGHT,TOP.
// layer-chip-probe icon: a pure green square as Tessary's icon in GNOME's top bar.
// layer-chip-probe events: the chip's connection to the compositor, whose answer a roundtrip reads
// after the event loop saw it arrive; prints "dispatched" unless the loop then waits for more.
#include "chip/ChipView.h"
#include "common/Clock.h"
#include "platform/gnome/GnomeShell.h"
#include "platform/session/DesktopSession.h"
#include "platform/session/SessionAccessibility.h"
#include "platform/session/SessionDevices.h"
#include "platform/wayland/LayerChipPanel.h"
#include "platform/wayland/WaylandDisplay.h"
#include "platform/wayland/WaylandLayerSurface.h"

#include <QApplication>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QTextStream>
#include <QVariantAnimation>

#include <QTimer>

#include <wayland-client.h>

#include <poll.h>

#include <algorithm>
#include <cstdlib>

using namespace tessary;

namespace {

void showState(ChipModel& model, const QString& state)
{
    const QString site = QStringLiteral("example.com");
    FoundCode found;
    found.code = QStringLiteral("482913");
    found.senderDomain = site;
    FoundLink link;
    link.url = QUrl(QStringLiteral("https://example.com/login?token=1"));
    link.kind = FoundLink::Kind::signIn;
    link.senderDomain = site;
    const QHash<QString, ChipModel::State> states{
        {QStringLiteral("searching"), ChipModel::Searching{site}},
        {QStringLiteral("filled"), ChipModel::Filled{found}},
        {QStringLiteral("failed"), ChipModel::Failed{QStringLiteral("No code arrived")}},
        {QStringLiteral("waitingForLink"), ChipModel::WaitingForLink{site, FoundLink::Kind::signIn}},
        {QStringLiteral("link"), ChipModel::Link{link}}};
    model.setState(states.value(state, ChipModel::Found{found}));
}

int show(const QStringList& args)
{
    // GNOME's chip is the session's own; elsewhere the layer surface is made here.
    SystemClock clock;
    const bool gnome = DesktopSession::current() == DesktopSession::Kind::gnome;
    std::unique_ptr<SessionDevices> devices = gnome ? std::make_unique<SessionDevices>(clock) : nullptr;
    WaylandDisplay display;
    std::unique_ptr<WaylandLayerSurface> surface;
    std::unique_ptr<LayerChipPanel> own;
    if (!gnome) {
        surface = std::make_unique<WaylandLayerSurface>(display);
        if (!surface->available())
            return 1;
        own = std::make_unique<LayerChipPanel>(*surface, chipAsQtSizes);
    }
    auto* chip = gnome ? dynamic_cast<LayerChipPanel*>(&devices->chip()) : own.get();
    if (!chip)
        return 1;
    LayerChipPanel& panel = *chip;
    showState(panel.model(), args[5]);
    QTextStream out(stdout);
    QObject::connect(&panel.fade(), &QAbstractAnimation::finished, [&] { out << "shown" << Qt::endl; });
    panel.model().onFill = [&] { out << "fill" << Qt::endl; };
    // What the shell says of its monitors, which the application has long known when it places a chip.
    if (gnome)
        QCoro::waitFor(sessionGnomeShell()->ready());
    panel.place(Rect{args[1].toInt(), args[2].toInt(), args[3].toInt(), args[4].toInt()});
    return QApplication::exec();
}

int icon()
{
    SystemClock clock;
    SessionDevices devices(clock);
    QPixmap square(32, 32);
    square.fill(Qt::green);
    devices.statusIcon().show(QIcon(square), {});
    return QApplication::exec();
}

int compare(const QStringList& args)
{
    ChipModel model;
    showState(model, args[4]);
    ChipView view(model);
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.show();
    QCoreApplication::processEvents(); // laid out as the chip on screen was
    const QImage chip = view.picture(1.0, args[5].toDouble());
    const QImage shot = QImage(args[1]).convertToFormat(QImage::Format_ARGB32);
    const bool above = args[0] == QLatin1String("compare-above");
    const bool right = args[0] == QLatin1String("compare-right");
    const QPoint at(args[2].toInt() - (right ? chip.width() : 0),
                    args[3].toInt() - (above ? chip.height() : 0));
    const auto mismatches = [&](QPoint offset) {
        int wrong = 0;
        for (int y = 0; y < chip.height(); ++y)
            for (int x = 0; x < chip.width(); ++x) {
                const QRgb want = chip.pixel(x, y);
                const QRgb got = shot.pixel(at + offset + QPoint(x, y));
                const int most =
                    std::max({std::abs(qRed(got) - qRed(want)), std::abs(qGreen(got) - qGreen(want)),
                              std::abs(qBlue(got) - qBlue(want))});
                wrong += qAlpha(want) == 255 && most > 2;
            }
        return wrong;
    };
    // One pixel off must not pass: the chip is not one flat colour.
    const int here = mismatches({});
    const int off = std::min(mismatches({1, 0}), mismatches({0, 1}));
    QTextStream(stdout) << here << " pixels differ in place, " << off << " one pixel off\n";
    return here == 0 && off > 0 ? 0 : 1;
}

int events()
{
    WaylandDisplay display;
    if (!display)
        return 1;
    wl_callback* answer = wl_display_sync(display.display());
    display.flush();
    pollfd socket{wl_display_get_fd(display.display()), POLLIN, 0};
    if (poll(&socket, 1, 5000) != 1)
        return 1;
    // Posted calls run ahead of socket notifiers in the same pass of the loop.
    QTimer::singleShot(0, [&] { display.roundtrip(); });
    QCoreApplication::processEvents();
    wl_callback_destroy(answer);
    QTextStream(stdout) << "dispatched" << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList args = application.arguments().mid(1);
    if (args.size() == 6 && args[0] == QLatin1String("show"))
        return show(args);
    if (args.size() == 6 && QStringList{"compare", "compare-above", "compare-right"}.contains(args[0]))
        return compare(args);
    if (args.size() == 1 && args[0] == QLatin1String("icon"))
        return icon();
    if (args.size() == 1 && args[0] == QLatin1String("events"))
        return events();
    return 2;
}
